#pragma once

#include "Version.h"
#include "state/ServerStatistics.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

class Clock;
class PreferencesStore;
class QTimer;

// Usage statistics: requests, tool calls, errors, connections and uptime. Lifetime figures are
// kept in the preferences store, written by a 5-second timer when something changed.
//
// Several processes may share one store (the desktop instance and one a client started), so a
// save never overwrites the stored figures with this process's own: it adds what this process
// recorded since its last save to what is stored now, under the store's update lock, and then
// shows the combined figures.
class StatisticsManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 totalRequests READ totalRequests NOTIFY statisticsChanged)
    Q_PROPERTY(qint64 totalToolCalls READ totalToolCalls NOTIFY statisticsChanged)
    Q_PROPERTY(qint64 totalErrors READ totalErrors NOTIFY statisticsChanged)
    Q_PROPERTY(double totalUptime READ totalUptime NOTIFY statisticsChanged)
    Q_PROPERTY(qint64 sessionRequests READ sessionRequests NOTIFY statisticsChanged)
    Q_PROPERTY(qint64 sessionToolCalls READ sessionToolCalls NOTIFY statisticsChanged)
    Q_PROPERTY(QDateTime sessionStartTime READ sessionStartTime NOTIFY statisticsChanged)
    Q_PROPERTY(double averageResponseTime READ averageResponseTime NOTIFY statisticsChanged)
    Q_PROPERTY(double successRate READ successRate NOTIFY statisticsChanged)

public:
    static constexpr int kSaveIntervalMs = 5000;
    static constexpr qsizetype kMaxRecentCalls = 100;
    static constexpr qsizetype kMaxConnections = 50;
    static constexpr qsizetype kTopToolCount = 10;
    static constexpr const char* kExportVersion = ZARNEL_VERSION;

    // Loads the stored statistics and starts the save timer.
    StatisticsManager(PreferencesStore& store, const Clock& clock, QObject* parent = nullptr);
    ~StatisticsManager() override;

    const ServerStatistics& statistics() const { return m_statistics; }
    qint64 totalRequests() const { return m_statistics.totalRequests; }
    qint64 totalToolCalls() const { return m_statistics.totalToolCalls; }
    qint64 totalErrors() const { return m_statistics.totalErrors; }
    double totalUptime() const { return m_statistics.totalUptime; }
    qint64 sessionRequests() const { return m_statistics.sessionRequests; }
    qint64 sessionToolCalls() const { return m_statistics.sessionToolCalls; }
    QDateTime sessionStartTime() const { return m_statistics.sessionStartTime; }
    bool needsSave() const { return m_needsSave; }

    // Seconds per tool call over all tools; 0 before the first call.
    double averageResponseTime() const;
    // Between 0 and 1; 1 before the first tool call.
    double successRate() const;
    // The ten most called tools, most called first.
    QList<ToolUsage> topTools() const;
    // The session counters, the session start and the newest `recentCalls` tool calls.
    SessionFigures session(qsizetype recentCalls) const;

    void startSession();
    // Adds the time since the last session start to the uptime and saves. A second call without
    // a start in between adds the whole interval again.
    void endSession();
    void recordRequest();
    void recordConnection(const QString& clientName, const QString& clientVersion);
    void recordToolCall(const QString& name, double durationSeconds, bool success);
    // A call of a tool that does not exist: a failed call in the totals and the recent calls
    // (under its name cut to a log line's length), without a usage record of its own.
    void recordUnknownToolCall(const QString& name, double durationSeconds);
    void recordError();

    // Adds what was recorded since the last save to the store. When the store cannot be locked
    // now, it stays recorded (needsSave) for the save timer's next round.
    void save();
    void saveNow();
    void load();
    // Back to a fresh record; the stored statistics are removed.
    void resetStatistics();

    // The export document (compact JSON); nothing when it cannot be produced.
    std::optional<QString> exportStatistics() const;

public Q_SLOTS:
    // The save timer's work: saves when something changed since the last save.
    void saveIfNeeded();

Q_SIGNALS:
    void statisticsChanged();
    // The session counters, the session start or the recent calls changed (also by a reset).
    void sessionChanged();

private:
    // A stretch of time during which a process served, in milliseconds since 1970.
    struct Served {
        qint64 startMs = 0;
        qint64 endMs = 0;
    };
    // The stored part of the statistics; also used for what was recorded since the last save.
    // Total uptime is the time during which at least one process served: the stored stretches
    // (merged, recent ones only) let a process add just the part of its own that no other
    // process has counted already.
    struct Persistent {
        qint64 totalRequests = 0;
        qint64 totalToolCalls = 0;
        qint64 totalErrors = 0;
        double totalUptime = 0.0;
        QMap<QString, ToolUsage> toolUsage;
        QList<ConnectionRecord> connectionHistory;
        QList<Served> served;

        bool isEmpty() const
        {
            return totalRequests == 0 && totalToolCalls == 0 && totalErrors == 0 && totalUptime == 0.0 && toolUsage.isEmpty()
                && connectionHistory.isEmpty() && served.isEmpty();
        }
    };

    static Persistent combine(const Persistent& stored, const Persistent& recorded);
    static void addServed(Persistent& into, const Served& stretch);
    // Moves the time served since the last save into what is to be saved.
    void recordServedUntilNow();
    Persistent readStored(const Persistent& fallback) const;
    void writeStored(const Persistent& persistent);
    void show(const Persistent& persistent);
    static void countToolCall(ToolUsage& usage, double durationSeconds, bool success, const QDateTime& now);
    void countCall(const QString& name, double durationSeconds, bool success, bool known);

    PreferencesStore& m_store;
    const Clock& m_clock;
    ServerStatistics m_statistics;
    QDateTime m_sessionStartTime; // for uptime; a reset does not move it
    // The start of the part of the running session not yet recorded; none while stopped.
    std::optional<QDateTime> m_servedSince;
    Persistent m_lastStored; // as read or written by the last load or save
    Persistent m_unsaved;    // recorded since then
    bool m_needsSave = false;
    QTimer* m_saveTimer = nullptr;
};

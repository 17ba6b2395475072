#pragma once

#include <QObject>
#include <QString>

class Clock;
class PreferencesStore;

// Usage statistics: requests, tool calls, errors, connections and uptime.
class StatisticsManager : public QObject {
    Q_OBJECT
public:
    StatisticsManager(PreferencesStore& store, const Clock& clock, QObject* parent = nullptr);

    void startSession();
    void endSession();
    void recordRequest();
    void recordConnection(const QString& clientName, const QString& clientVersion);
    void recordToolCall(const QString& name, double durationSeconds, bool success);
    void recordError();

    // Writes the statistics to the store now.
    void save();

    qint64 totalRequests() const { return m_totalRequests; }
    qint64 totalToolCalls() const { return m_totalToolCalls; }
    qint64 totalErrors() const { return m_totalErrors; }

Q_SIGNALS:
    void statisticsChanged();

private:
    PreferencesStore& m_store;
    const Clock& m_clock;
    qint64 m_totalRequests = 0;
    qint64 m_totalToolCalls = 0;
    qint64 m_totalErrors = 0;
};

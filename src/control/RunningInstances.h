#pragma once

#include "control/ControlFolder.h"
#include "protocol/AnyCodable.h"
#include "state/ActivityLogEntry.h"
#include "state/ServerStatistics.h"

#include <QCoroTask>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

class ControlClient;
class FolderWatch;
class QTimer;
class SettingsManager;
class StatisticsManager;

// One running zarnel process as the control socket reports it.
struct InstanceInfo {
    qint64 pid = 0;
    bool running = false;
    bool waiting = false; // its client's requests wait for a start
    int connections = 0;
    QString clientName;
    QString clientVersion;
    bool desktop = false;
    SessionFigures session; // none from a process too old to tell
};

// An activity-log entry and the process it came from.
struct InstanceLogEntry {
    ActivityLogEntry entry;
    qint64 pid = 0;
    QString clientName;
};

// Every live zarnel of this user, this one included, seen through their control sockets and
// kept current by their events. New processes are found as their sockets appear in the control
// folder, and by looking at it every couple of seconds (for a folder that cannot be watched yet)
// and on refresh().
class RunningInstances : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool anyRunning READ anyRunning NOTIFY changed)
    Q_PROPERTY(int totalConnections READ totalConnections NOTIFY changed)
    Q_PROPERTY(int processCount READ processCount NOTIFY changed)

public:
    static constexpr int kRescanIntervalMs = 2000;
    static constexpr int kSettleMs = 100;

    explicit RunningInstances(QObject* parent = nullptr);
    // `rescanIntervalMs`: how often the folder is looked at besides its changes.
    explicit RunningInstances(const ControlFolder& folder, QObject* parent = nullptr, int rescanIntervalMs = kRescanIntervalMs);
    ~RunningInstances() override;

    // This process's settings: setSetting assigns (and stores) here first, so the value is kept
    // also before this process's own socket has been found.
    void setLocalSettings(SettingsManager* settings) { m_localSettings = settings; }

    bool anyRunning() const;
    int totalConnections() const;
    int processCount() const { return static_cast<int>(m_instances.size()); }

    QList<InstanceInfo> instances() const;
    // The processes whose client waits for a start, by process id.
    QList<InstanceInfo> waitingClients() const;
    QList<InstanceLogEntry> mergedLog() const; // every process, newest first
    // The sessions of every process as one: the counters summed, the earliest start, the recent
    // calls merged newest first.
    SessionFigures session() const;

    // Start/stop every process, and those that start later (the person's choice, ServerState).
    QCoro::Task<bool> setAllRunning(bool running);
    QCoro::Task<int> clearAllLogs();                           // returns the summed count
    QCoro::Task<bool> setSetting(QString key, QVariant value); // stored + pushed to every process
    // resetEveryStatistics over this folder; `store` is this process's statistics.
    QCoro::Task<> resetAllStatistics(StatisticsManager& store);
    void refresh();

Q_SIGNALS:
    void changed();                                 // status/connection figures changed
    void sessionChanged();                          // a process's session figures changed
    void entryAdded(const InstanceLogEntry& entry); // a new entry in any process
    // A process was found, with what it had logged by then (newest first); entryAdded follows
    // for what it logs later.
    void instanceAdded(qint64 pid, const QList<ActivityLogEntry>& logSoFar);
    // Every process present at a refresh has been found (or given up on).
    void scanned();
    void logCleared();
    void settingChanged(const QString& key);

private:
    struct Instance {
        ControlClient* client = nullptr;
        InstanceInfo info;
        QList<ActivityLogEntry> log; // newest first
    };

    QCoro::Task<> attach(qint64 pid);
    void handleEvent(qint64 pid, const QString& event, const Json& data);
    void detach(qint64 pid);
    void finishAttaching(qint64 pid);

    ControlFolder m_folder;
    QMap<qint64, Instance> m_instances;
    QList<qint64> m_attaching;
    bool m_scanning = false;
    SettingsManager* m_localSettings = nullptr;
    QTimer* m_rescanTimer;
    QTimer* m_soon; // a look shortly after the folder changed
    FolderWatch* m_watch;
    bool m_watching = false;
};

// Resets the statistics of Zarnel as a whole: every process of the folder drops its own, figures
// not saved yet included, so that none writes old figures back; then the shared store is emptied
// through `store` (which outlives the task).
QCoro::Task<> resetEveryStatistics(ControlFolder folder, StatisticsManager& store);

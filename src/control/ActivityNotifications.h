#pragma once

#include <QDateTime>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QUuid>

struct ActivityLogEntry;
class ActivityLog;
class DesktopNotifier;
class RunningInstances;

// Hands the desktop notifier what every zarnel of this user logs: this process's entries as
// they are added, the other processes' as their control sockets report them, and what a process
// logged before it was found (a client's process usually connects before the next look at the
// control folder). An entry heard twice (this process's own, through its log and its socket; a
// process found again) is reported once, and what was logged before `since` is no news.
class ActivityNotifications : public QObject {
    Q_OBJECT

public:
    ActivityNotifications(DesktopNotifier& notifier, QDateTime since, QObject* parent = nullptr);

    void follow(ActivityLog& log);
    void follow(RunningInstances& instances);

    // Reports the entry unless it is old or was reported already.
    void take(const ActivityLogEntry& entry);

private:
    // How many entry ids are remembered to tell a repeat: far more than can arrive twice.
    static constexpr qsizetype kRemembered = 1024;

    DesktopNotifier& m_notifier;
    QDateTime m_since;
    QSet<QUuid> m_seen;
    QQueue<QUuid> m_seenOrder;
};

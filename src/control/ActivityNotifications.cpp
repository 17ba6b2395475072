#include "control/ActivityNotifications.h"

#include "control/RunningInstances.h"
#include "state/ActivityLog.h"
#include "state/DesktopNotifier.h"

#include <algorithm>

ActivityNotifications::ActivityNotifications(DesktopNotifier& notifier, QDateTime since, QObject* parent)
    : QObject(parent)
    , m_notifier(notifier)
    , m_since(std::move(since))
{
}

void ActivityNotifications::follow(ActivityLog& log)
{
    connect(&log, &ActivityLog::entryAdded, this, &ActivityNotifications::take);
}

void ActivityNotifications::follow(RunningInstances& instances)
{
    connect(&instances, &RunningInstances::entryAdded, this, [this](const InstanceLogEntry& added) { take(added.entry); });
    connect(&instances, &RunningInstances::instanceAdded, this, [this](qint64, QList<ActivityLogEntry> logSoFar) {
        std::stable_sort(logSoFar.begin(), logSoFar.end(),
                         [](const ActivityLogEntry& a, const ActivityLogEntry& b) { return a.timestamp < b.timestamp; });
        for (const ActivityLogEntry& entry : logSoFar)
            take(entry);
    });
}

void ActivityNotifications::take(const ActivityLogEntry& entry)
{
    if (entry.timestamp < m_since)
        return;
    const auto event = DesktopNotifier::eventOf(entry);
    if (!event || m_seen.contains(entry.id))
        return;
    m_seen.insert(entry.id);
    m_seenOrder.enqueue(entry.id);
    if (m_seenOrder.size() > kRemembered)
        m_seen.remove(m_seenOrder.dequeue());
    m_notifier.report(*event);
}

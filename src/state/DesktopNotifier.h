#pragma once

#include "state/NotificationRateLimiter.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

struct ActivityLogEntry;
class Clock;
class NotificationService;
class SettingsManager;

// Tells the user through desktop notifications that a client connected or a tool call failed,
// while showNotifications is on, at most once per ten seconds. Only the desktop instance makes
// one: a process started by a client posts nothing of its own accord.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    DesktopNotifier(SettingsManager& settings, NotificationService& service, const Clock& clock, QObject* parent = nullptr);

    // Posts the event, or holds it for the next notification; dropped while notifications are off.
    void report(const DesktopEvent& event);
    // The event an activity-log entry stands for, if any: "Connected: <name> v<version>" and
    // "Tool error: <tool>: <reason>" as the server writes them, but for a call the person declined.
    static std::optional<DesktopEvent> eventOf(const ActivityLogEntry& entry);

    // Posts the held events whose time has come; the timer calls it, tests call it after moving
    // their clock.
    void postDue();

Q_SIGNALS:
    // A notification was handed to the service.
    void posted(const DesktopNotification& notification);

private:
    void post(const DesktopNotification& notification);
    void scheduleHeld();

    SettingsManager& m_settings;
    NotificationService& m_service;
    const Clock& m_clock;
    NotificationRateLimiter m_limiter;
    QTimer m_timer;
};

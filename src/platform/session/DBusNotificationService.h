#pragma once

#include "platform/session/NotificationService.h"

#include <QDBusConnection>

// Notifications through org.freedesktop.Notifications on a session bus.
class DBusNotificationService final : public NotificationService {
public:
    // The user's session bus unless a test hands in a private one.
    explicit DBusNotificationService(const QDBusConnection& bus = QDBusConnection::sessionBus());

    QCoro::Task<NotificationDelivery> notify(QString title, QString body, bool sound) override;

    // The name of the default message sound in the freedesktop sound theme.
    static constexpr const char* kMessageSound = "message-new-instant";

private:
    QDBusConnection m_bus;
};

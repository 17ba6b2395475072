#pragma once

#include "platform/session/NotificationService.h"

#include <QDBusConnection>
#include <QStringList>

#include <memory>

class NotificationActions;

// Notifications through org.freedesktop.Notifications on a session bus.
class DBusNotificationService final : public NotificationService {
public:
    // The user's session bus unless a test hands in a private one.
    explicit DBusNotificationService(const QDBusConnection& bus = QDBusConnection::sessionBus());

    ~DBusNotificationService() override;

    QCoro::Task<NotificationDelivery> notify(QString title, QString body, bool sound) override;
    QCoro::Task<NotificationDelivery> notifyWithAction(QString title, QString body, QString actionLabel,
                                                       std::function<void()> chosen) override;

    // The name of the default message sound in the freedesktop sound theme.
    static constexpr const char* kMessageSound = "message-new-instant";
    // The key of the one action a notification offers.
    static constexpr const char* kActionKey = "default-action";

private:
    QCoro::Task<NotificationDelivery> post(QString title, QString body, bool sound, QStringList actions, std::function<void()> chosen);

    QDBusConnection m_bus;
    // Hears which button was pressed on our notifications; made with the first one that has one.
    std::unique_ptr<NotificationActions> m_actions;
};

#include "platform/session/NotificationActions.h"

#include "platform/session/DBusNotificationService.h"

void NotificationActions::listen(QDBusConnection bus)
{
    const QString name = QStringLiteral("org.freedesktop.Notifications");
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    bus.connect(name, path, name, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    bus.connect(name, path, name, QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
}

void NotificationActions::expect(uint id, std::function<void()> chosen)
{
    if (m_expected.size() >= kMaxExpected)
        m_expected.erase(m_expected.begin());
    m_expected.insert(id, std::move(chosen));
}

void NotificationActions::actionInvoked(uint id, const QString& key)
{
    // The signal goes to every application: only our own notifications' ids are known here.
    const auto it = m_expected.constFind(id);
    if (it == m_expected.constEnd() || key != QLatin1String(DBusNotificationService::kActionKey))
        return;
    const std::function<void()> chosen = *it;
    m_expected.erase(it);
    chosen();
}

void NotificationActions::notificationClosed(uint id, uint)
{
    m_expected.remove(id);
}

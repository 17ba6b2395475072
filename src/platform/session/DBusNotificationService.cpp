#include "platform/session/DBusNotificationService.h"

#include "platform/session/NotificationActions.h"

#include <QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr const char* kApplicationId = "com.tarvonic.zarnel";

QString describe(const QDBusError& error)
{
    return error.message().isEmpty() ? QDBusError::errorString(error.type()) : error.message();
}

// Made outside the coroutines: g++ 12 loses the copy of a QString member when an aggregate is
// brace-initialised inside a coroutine body.
NotificationDelivery failed(NotificationDelivery::Status status, const QString& error)
{
    NotificationDelivery delivery;
    delivery.status = status;
    delivery.error = error;
    return delivery;
}

} // namespace

DBusNotificationService::DBusNotificationService(const QDBusConnection& bus)
    : m_bus(bus)
{
}

DBusNotificationService::~DBusNotificationService() = default;

QCoro::Task<NotificationDelivery> DBusNotificationService::notify(QString title, QString body, bool sound)
{
    QCoro::Task<NotificationDelivery> posting = post(std::move(title), std::move(body), sound, {}, {});
    co_return co_await posting;
}

QCoro::Task<NotificationDelivery> DBusNotificationService::notifyWithAction(QString title, QString body, QString actionLabel,
                                                                            std::function<void()> chosen)
{
    if (!m_actions) {
        m_actions = std::make_unique<NotificationActions>();
        m_actions->listen(m_bus);
    }
    QCoro::Task<NotificationDelivery> posting =
        post(std::move(title), std::move(body), false, {QString::fromLatin1(kActionKey), actionLabel}, std::move(chosen));
    co_return co_await posting;
}

QCoro::Task<NotificationDelivery> DBusNotificationService::post(QString title, QString body, bool sound, QStringList actions,
                                                                std::function<void()> chosen)
{
    if (!m_bus.isConnected()) {
        const QString reason = m_bus.lastError().isValid() ? describe(m_bus.lastError()) : QStringLiteral("no session bus");
        co_return failed(NotificationDelivery::Status::NoSession, reason);
    }
    const QDBusConnection bus = m_bus;
    const QPointer<NotificationActions> listener = m_actions.get();

    // Asking for the capabilities starts the service when the bus can activate one, and tells
    // us whether anything answers before we post.
    const QDBusMessage probe = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    const QDBusPendingCall probing = bus.asyncCall(probe);
    const QDBusMessage capabilities = co_await probing;
    if (capabilities.type() == QDBusMessage::ErrorMessage)
        co_return failed(NotificationDelivery::Status::ServiceUnavailable, capabilities.errorMessage());

    QVariantMap hints;
    if (sound)
        hints.insert(QStringLiteral("sound-name"), QString::fromLatin1(kMessageSound));
    else
        hints.insert(QStringLiteral("suppress-sound"), true);
    // The icon and the entry by the application's id: the daemon shows our icon, and a desktop
    // that groups notifications by application files them under Zarnel.
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kApplicationId));
    QDBusMessage post = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    post << QStringLiteral("Zarnel") << 0u << QString::fromLatin1(kApplicationId) << title << body << actions << hints << -1;
    const QDBusPendingCall posting = bus.asyncCall(post);
    const QDBusMessage reply = co_await posting;
    if (reply.type() == QDBusMessage::ErrorMessage)
        co_return failed(NotificationDelivery::Status::Rejected, reply.errorMessage());
    if (chosen && listener)
        listener->expect(reply.arguments().value(0).toUInt(), std::move(chosen));
    co_return NotificationDelivery{};
}

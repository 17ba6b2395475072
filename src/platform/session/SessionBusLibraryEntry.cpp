// The session bus library's one entry: Qt D-Bus and what talks over it, loaded only by a
// process that needs the session bus.
#include "platform/SessionBusLibrary.h"
#include "platform/session/DBusNotificationService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>

namespace {

// The environment the systemd user manager hands to the user's services; desktop sessions put
// their display variables there. Empty when no manager answers on the bus.
QHash<QString, QString> userManagerEnvironment(const QString& busAddress, int timeoutMs)
{
    static int connections = 0;
    const QString name = QStringLiteral("zarnel-session-probe-%1").arg(++connections);
    QHash<QString, QString> variables;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, name);
        if (bus.isConnected()) {
            QDBusMessage get =
                QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.systemd1"), QStringLiteral("/org/freedesktop/systemd1"),
                                               QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            get << QStringLiteral("org.freedesktop.systemd1.Manager") << QStringLiteral("Environment");
            // Nothing may start just because we asked.
            get.setAutoStartService(false);
            const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                const QStringList assignments = qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toStringList();
                for (const QString& assignment : assignments) {
                    const qsizetype equals = assignment.indexOf(u'=');
                    if (equals > 0)
                        variables.insert(assignment.left(equals), assignment.mid(equals + 1));
                }
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return variables;
}

NotificationService* createNotificationService()
{
    return new DBusNotificationService();
}

constexpr SessionBusLibraryFunctions kFunctions{
    .version = kSessionBusLibraryVersion,
    .createNotificationService = createNotificationService,
    .userManagerEnvironment = userManagerEnvironment,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* zarnel_session_bus_library()
{
    return &kFunctions;
}

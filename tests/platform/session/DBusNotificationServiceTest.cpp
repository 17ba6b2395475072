#include "platform/session/DBusNotificationService.h"

#include "support/FakeNotificationServer.h"
#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoroTask>

namespace {

NotificationDelivery notify(const QDBusConnection& bus, const QString& title, const QString& body, bool sound)
{
    DBusNotificationService service(bus);
    return QCoro::waitFor(service.notify(title, body, sound));
}

} // namespace

TEST(DBusNotificationService, PostsTitleBodyAndTheSoundHint)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection serverSide = bus.connect(QStringLiteral("notification-server"));
    FakeNotificationServer server;
    ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.Notifications")));
    const QDBusConnection client = bus.connect(QStringLiteral("notification-client"));

    EXPECT_EQ(notify(client, QStringLiteral("Build finished"), QStringLiteral("All green"), true).status,
              NotificationDelivery::Status::Sent);
    EXPECT_EQ(server.summary, QStringLiteral("Build finished"));
    EXPECT_EQ(server.body, QStringLiteral("All green"));
    EXPECT_EQ(server.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message-new-instant"));
    EXPECT_FALSE(server.hints.contains(QStringLiteral("suppress-sound")));
    EXPECT_EQ(server.appIcon, QStringLiteral("com.tarvonic.zarnel"));
    EXPECT_EQ(server.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.tarvonic.zarnel"));

    notify(client, QStringLiteral("Quiet"), QStringLiteral("b"), false);
    EXPECT_EQ(server.hints.value(QStringLiteral("suppress-sound")).toBool(), true);
    EXPECT_FALSE(server.hints.contains(QStringLiteral("sound-name")));

    server.refuse = true;
    const NotificationDelivery refused = notify(client, QStringLiteral("t"), QStringLiteral("b"), true);
    EXPECT_EQ(refused.status, NotificationDelivery::Status::Rejected);
    EXPECT_EQ(refused.error, QStringLiteral("body too long"));
}

TEST(DBusNotificationService, SaysWhyWhenNoServiceAnswers)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    const NotificationDelivery delivery =
        notify(bus.connect(QStringLiteral("lonely-client")), QStringLiteral("t"), QStringLiteral("b"), true);
    EXPECT_EQ(delivery.status, NotificationDelivery::Status::ServiceUnavailable);
    EXPECT_EQ(delivery.error, QStringLiteral("The name org.freedesktop.Notifications was not provided by any .service files"));

    const NotificationDelivery noBus =
        notify(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus")), QStringLiteral("t"),
               QStringLiteral("b"), true);
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
    EXPECT_EQ(noBus.status, NotificationDelivery::Status::NoSession);
    EXPECT_FALSE(noBus.error.isEmpty());
}

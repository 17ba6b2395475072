#include "platform/session/DBusNotificationService.h"

#include "support/FakeNotificationServer.h"
#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCoroTask>
#include <QDeadlineTimer>

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

TEST(DBusNotificationService, RunsTheChosenActionOfItsOwnNotificationOnce)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection serverSide = bus.connect(QStringLiteral("notification-server"));
    FakeNotificationServer server;
    ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.Notifications")));
    DBusNotificationService service(bus.connect(QStringLiteral("notification-client")));

    int started = 0;
    const NotificationDelivery delivery = QCoro::waitFor(service.notifyWithAction(
        QStringLiteral("Claude Code is waiting for Zarnel"), QStringLiteral("b"), QStringLiteral("Start"), [&] { ++started; }));
    ASSERT_EQ(delivery.status, NotificationDelivery::Status::Sent);
    EXPECT_EQ(server.actions, (QStringList{QStringLiteral("default-action"), QStringLiteral("Start")}));
    const uint id = static_cast<uint>(server.received);

    const auto settle = [] {
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    // Another application's notification, or another key, is none of ours.
    Q_EMIT server.ActionInvoked(id + 100, QStringLiteral("default-action"));
    Q_EMIT server.ActionInvoked(id, QStringLiteral("other"));
    settle();
    EXPECT_EQ(started, 0);
    Q_EMIT server.ActionInvoked(id, QStringLiteral("default-action"));
    Q_EMIT server.ActionInvoked(id, QStringLiteral("default-action"));
    QDeadlineTimer deadline(5000);
    while (started == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    settle();
    EXPECT_EQ(started, 1);

    // A plain notification offers no button.
    QCoro::waitFor(service.notify(QStringLiteral("t"), QStringLiteral("b"), false));
    EXPECT_TRUE(server.actions.isEmpty());
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

#include "support/DesktopSession.h"
#include "support/FakeNotificationServer.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QFile>

// Clients whose requests wait while the person has Zarnel stopped, and the person's start or
// stop holding for every process, on an X server, a session bus and a tray host of the test's own.
namespace {

QStringList trimmedLabels(const QList<ExportedMenuItem>& items)
{
    QStringList result;
    for (const ExportedMenuItem& item : items)
        result << item.label.trimmed();
    return result;
}

nlohmann::json initializeRequest(const std::string& clientName)
{
    return {{"jsonrpc", "2.0"},
            {"id", 1},
            {"method", "initialize"},
            {"params",
             {{"protocolVersion", "2025-11-25"},
              {"capabilities", nlohmann::json::object()},
              {"clientInfo", {{"name", clientName}, {"version", "3.1"}}}}}};
}

ZarnelProcess::CommandRun zarnel(const DesktopSession& session, const QStringList& arguments)
{
    return ZarnelProcess::runCommand(session.home(), arguments);
}

} // namespace

TEST(WaitingClients, AClientStartedWhileStoppedIsListedWaitingAndTheTraysStartAnswersItsRequestsInOrder)
{
    DesktopSession session;
    auto desktop = session.launchAsUser({QStringLiteral("--hidden")});
    ASSERT_TRUE(DesktopSession::waitFor([&] { return session.trayItems().size() == 1; }));

    auto client = session.launchAsClient(false);
    ASSERT_TRUE(client->start());
    client->send(initializeRequest("Waiting Assistant"));
    client->send({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "ping"}});
    EXPECT_TRUE(client->staysSilent(300));

    ASSERT_TRUE(DesktopSession::waitFor([&] { return trimmedLabels(session.trayMenu()).contains(QStringLiteral("Waiting clients: 1")); }))
        << trimmedLabels(session.trayMenu()).join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(trimmedLabels(session.trayMenu()).contains(QStringLiteral("Waiting Assistant")));
    const ZarnelProcess::CommandRun status = zarnel(session, {QStringLiteral("status")});
    EXPECT_EQ(status.status, 0);
    EXPECT_TRUE(status.output.startsWith("Zarnel server is stopped; 1 client waiting (Waiting Assistant). ")) << status.output.constData();
    const QStringList log = session.activityLogOf(client->process().processId());
    EXPECT_TRUE(log.contains(QStringLiteral("Client waiting: Waiting Assistant v3.1"))) << log.join(QLatin1Char('|')).toStdString();

    ASSERT_TRUE(session.clickTrayMenuItem(QStringLiteral("Start Server")));
    const auto initialized = client->readMessage(15000);
    ASSERT_TRUE(initialized);
    EXPECT_EQ((*initialized)["id"], 1);
    EXPECT_EQ((*initialized)["result"]["protocolVersion"], "2025-11-25");
    const auto pong = client->readMessage();
    ASSERT_TRUE(pong);
    EXPECT_EQ(*pong, (nlohmann::json{{"id", 2}, {"jsonrpc", "2.0"}, {"result", nlohmann::json::object()}}));
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !trimmedLabels(session.trayMenu()).contains(QStringLiteral("Waiting clients: 1")); }));
}

TEST(WaitingClients, ThePersonsStopAndStartHoldForProcessesThatStartLaterWhateverAutoStartSays)
{
    DesktopSession session;
    // No process runs: the choice is kept for those that come.
    const ZarnelProcess::CommandRun stop = zarnel(session, {QStringLiteral("server"), QStringLiteral("stop")});
    EXPECT_EQ(stop.status, 0);
    EXPECT_EQ(stop.output, "No Zarnel process is running: the clients that start Zarnel from now on will wait until it is started\n");

    auto stopped = session.launchAsClient(true);
    ASSERT_TRUE(stopped->start());
    stopped->send(initializeRequest("Held Assistant"));
    EXPECT_TRUE(stopped->staysSilent(500));
    // Its own process started a desktop instance: that one, too, keeps the person's stop.
    ASSERT_TRUE(DesktopSession::waitFor([&] { return session.desktopInstancePid().has_value(); }));
    EXPECT_TRUE(stopped->staysSilent(300));

    const ZarnelProcess::CommandRun start = zarnel(session, {QStringLiteral("server"), QStringLiteral("start")});
    EXPECT_EQ(start.status, 0) << start.error.constData();
    const auto answered = stopped->readMessage(15000);
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["result"]["serverInfo"]["name"], "Zarnel");

    // Started by the person: a client whose settings would not start it is served at once.
    auto started = session.launchAsClient(false);
    ASSERT_TRUE(started->start());
    EXPECT_TRUE(started->initialize("Quick Assistant", "1.0", "2025-11-25"));
}

TEST(WaitingClients, StartWithNoProcessRunningIsKeptForTheNextClient)
{
    TemporaryHome home;
    const ZarnelProcess::CommandRun start = ZarnelProcess::runCommand(home, {QStringLiteral("server"), QStringLiteral("start")});
    EXPECT_EQ(start.status, 0);
    EXPECT_EQ(start.output, "No Zarnel process is running: Zarnel will serve the clients that start it from now on\n");
    // Headless, with autoStartServer false: it would explain and exit without the person's start.
    ZarnelProcess client(home, false);
    ASSERT_TRUE(client.start());
    EXPECT_TRUE(client.initialize("Headless Assistant", "1.0", "2025-11-25"));
}

TEST(WaitingClients, AHeadlessClientKeepsThePersonsStopAndIsAnsweredAtTheStart)
{
    TemporaryHome home;
    ASSERT_EQ(ZarnelProcess::runCommand(home, {QStringLiteral("server"), QStringLiteral("stop")}).status, 0);
    // autoStartServer would start it; the person's stop holds, and it waits instead of exiting.
    ZarnelProcess client(home, true);
    ASSERT_TRUE(client.start());
    client.send(initializeRequest("Headless Assistant"));
    EXPECT_TRUE(client.staysSilent(500));
    EXPECT_TRUE(client.isRunning());
    const ZarnelProcess::CommandRun status = ZarnelProcess::runCommand(home, {QStringLiteral("status")});
    EXPECT_TRUE(status.output.startsWith("Zarnel server is stopped; 1 client waiting (Headless Assistant). ")) << status.output.constData();

    const ZarnelProcess::CommandRun start = ZarnelProcess::runCommand(home, {QStringLiteral("server"), QStringLiteral("start")});
    EXPECT_EQ(start.output, "Zarnel server started successfully\n");
    const auto answered = client.readMessage(15000);
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["id"], 1);
}

TEST(WaitingClients, TheDesktopInstanceNotifiesOfAWaitingClientAndItsStartButtonAnswersIt)
{
    DesktopSession session;
    FakeNotificationServer notifications;
    QDBusConnection bus = session.bus();
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    auto desktop = session.launchAsUser({QStringLiteral("--hidden")});
    ASSERT_TRUE(DesktopSession::waitFor([&] { return session.trayItems().size() == 1; }));

    auto client = session.launchAsClient(false);
    ASSERT_TRUE(client->start());
    client->send(initializeRequest("Notified Assistant"));
    ASSERT_TRUE(DesktopSession::waitFor([&] {
        return notifications.summary == QStringLiteral("Notified Assistant is waiting for Zarnel");
    })) << notifications.summary.toStdString();
    EXPECT_EQ(notifications.actions, (QStringList{QStringLiteral("default-action"), QStringLiteral("Start")}));
    EXPECT_TRUE(client->staysSilent(200));

    Q_EMIT notifications.ActionInvoked(static_cast<uint>(notifications.received), QStringLiteral("default-action"));
    const auto answered = client->readMessage(15000);
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["id"], 1);
}

#include "control/ControlServer.h"
#include "control/ControlClient.h"
#include "control/ServerComponents.h"
#include "control/SettingValues.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "support/ControlledProcess.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/ProcessEvents.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

#include <sys/resource.h>

using namespace ControlProtocol;

namespace {

// One process's managers over a temporary store, with its control socket in a private folder.
class ControlServerTest : public ::testing::Test, protected ControlledProcess {
protected:
    void SetUp() override { ASSERT_TRUE(control.listen()) << control.problem().toStdString(); }

    Reply ask(ControlClient& client, const std::string& command, Json args = Json::object())
    {
        return QCoro::waitFor(client.request(command, std::move(args)));
    }

    // Connects and subscribes; the events then land in `events`.
    bool subscribe(ControlClient& client, QList<std::pair<QString, Json>>& events)
    {
        QObject::connect(&client, &ControlClient::eventReceived, [&events](const QString& event, const Json& data) {
            events.append({event, data});
        });
        return client.connectTo(control.socketPath()) && ask(client, "subscribe").ok;
    }

    // A raw connection: what it receives, line by line.
    QList<QByteArray> exchange(QLocalSocket& socket, const QByteArray& bytes, int answers)
    {
        socket.write(bytes);
        QByteArray received;
        waitUntil([&] {
            received += socket.readAll();
            return received.count('\n') >= answers || socket.state() != QLocalSocket::ConnectedState;
        });
        received += socket.readAll();
        QList<QByteArray> lines = received.split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }
};

TEST_F(ControlServerTest, AnswersInOrderAndTurnsBadInputIntoErrorAnswers)
{
    QLocalSocket socket;
    socket.connectToServer(control.socketPath());
    ASSERT_TRUE(socket.waitForConnected(5000));
    const QByteArray token = ControlFolder(QFileInfo(control.socketPath()).path()).readToken();
    ASSERT_EQ(token.size(), 64);
    const QByteArray lines = "garbage\n"
                             "{\"v\":1,\"id\":1,\"command\":\"nope\",\"token\":\"@\"}\n"
                             "{\"v\":1,\"id\":2,\"command\":\"server\",\"args\":{\"action\":5},\"token\":\"@\"}\n"
                             "{\"v\":1,\"id\":3,\"command\":\"set-setting\",\"args\":{\"key\":\"maxLogEntries\",\"value\":\"ten\"},"
                             "\"token\":\"@\"}\n"
                             "{\"v\":1,\"id\":4,\"command\":\"status\",\"token\":\"@\"}\n"
                             // Without the token, or with another, nothing is done.
                             "{\"v\":1,\"id\":5,\"command\":\"set-setting\",\"args\":{\"key\":\"maxLogEntries\",\"value\":5}}\n"
                             "{\"v\":1,\"id\":6,\"command\":\"server\",\"args\":{\"action\":\"start\"},\"token\":\"@0\"}\n";
    const QList<QByteArray> answers = exchange(socket, QByteArray(lines).replace("@", token), 7);
    ASSERT_EQ(answers.size(), 7);
    const auto code = [&](int i) { return decodeIncoming(answers[i])->reply.code; };
    EXPECT_TRUE(answers[0].contains("\"id\":null")) << answers[0].constData();
    EXPECT_TRUE(answers[0].contains(Code::BadRequest));
    EXPECT_EQ(code(1), Code::UnknownCommand);
    EXPECT_EQ(code(2), Code::BadArguments);
    EXPECT_EQ(code(3), Code::BadArguments);
    const auto status = decodeIncoming(answers[4]);
    EXPECT_EQ(status->id, 4);
    EXPECT_EQ(status->reply.result["pid"], QCoreApplication::applicationPid());
    EXPECT_EQ(status->reply.result["running"], false);
    EXPECT_EQ(code(5), Code::NotAllowed);
    EXPECT_EQ(code(6), Code::NotAllowed);
    EXPECT_EQ(components.settings().maxLogEntries(), SettingsManager::kDefaultMaxLogEntries);
    EXPECT_FALSE(components.server().isRunning());
    EXPECT_TRUE(streams.written.isEmpty());
}

TEST_F(ControlServerTest, TakesANewTokenWhenItsFileIsMadeAnew)
{
    const ControlFolder folder(QFileInfo(control.socketPath()).path());
    const QByteArray first = folder.readToken();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(QFileInfo(folder.tokenPath()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    ASSERT_TRUE(QFile::remove(folder.tokenPath()));
    const QByteArray second = folder.token();
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(second, first);
    EXPECT_EQ(folder.token(), second);

    ControlClient client;
    ASSERT_TRUE(client.connectTo(control.socketPath()));
    EXPECT_TRUE(ask(client, "status").ok);

    // A file that holds no token is replaced by one that does.
    QFile broken(folder.tokenPath());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("short\n");
    broken.close();
    EXPECT_TRUE(folder.readToken().isEmpty());
    EXPECT_EQ(folder.token().size(), 64);
}

TEST_F(ControlServerTest, ALineOverOneMebibyteIsAnsweredAndTheConnectionClosed)
{
    QLocalSocket socket;
    socket.connectToServer(control.socketPath());
    ASSERT_TRUE(socket.waitForConnected(5000));
    const QList<QByteArray> lines = exchange(socket, QByteArray(kMaxLineBytes + 10, 'x'), 1);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].contains(Code::TooLong)) << lines[0].left(200).constData();
    EXPECT_TRUE(waitUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; }));

    ControlClient client; // the server itself carries on
    ASSERT_TRUE(client.connectTo(control.socketPath()));
    EXPECT_TRUE(ask(client, "status").ok);
}

TEST_F(ControlServerTest, ALogLargerThanALineComesWholeInPagesAndNeverAsAnEmptyAnswer)
{
    components.settings().setMaxLogEntries(100000);
    for (int i = 0; i < 3000; ++i)
        components.activityLog().add(QStringLiteral("entry %1 ").arg(i) + QString(600, QLatin1Char('x')), LogType::Info);
    const QList<ActivityLogEntry>& expected = components.activityLog().entries();
    ControlClient client;
    ASSERT_TRUE(client.connectTo(control.socketPath()));

    const Reply whole = QCoro::waitFor(client.requestLog());
    ASSERT_TRUE(whole.ok) << whole.message;
    const Json& entries = whole.result["entries"];
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(expected.size()));
    for (qsizetype i = 0; i < expected.size(); i += 499)
        EXPECT_EQ(decodeEntry(entries[static_cast<std::size_t>(i)])->id, expected[i].id) << i;

    // Asked for at once, as an older client does, the log does not fit one line: an error, not
    // a line the client drops.
    const Reply atOnce = ask(client, "log");
    EXPECT_FALSE(atOnce.ok);
    EXPECT_EQ(atOnce.code, Code::TooLong);
    EXPECT_TRUE(ask(client, "status").ok);
}

TEST_F(ControlServerTest, HoldsTheLimitOfConnectionsAndNoneWhenDescriptorsRunLow)
{
    const auto connected = [&] {
        auto client = std::make_unique<ControlClient>();
        client->connectTo(control.socketPath());
        return client;
    };
    std::vector<std::unique_ptr<ControlClient>> clients;
    for (int i = 0; i < ControlServer::kMaxConnections; ++i) {
        clients.push_back(connected());
        ASSERT_TRUE(ask(*clients.back(), "status").ok) << i;
    }
    // A process cannot take the place of its own connections: one more is closed at once.
    const auto beyond = connected();
    EXPECT_FALSE(ask(*beyond, "status").ok);
    // An ended connection makes room for another.
    clients.pop_back();
    // Served once the process has seen the ended connections go.
    const auto servedSoon = [&] {
        for (int attempt = 0; attempt < 50; ++attempt) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (ask(*connected(), "status").ok)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(servedSoon());
    clients.clear();

    // Too few descriptors left for the tools: refused, whatever the number of connections.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const qint64 open = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
    struct rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(open + ControlServer::kDescriptorReserve / 2);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const bool servedWhileLow = ask(*connected(), "status").ok;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_FALSE(servedWhileLow);
    EXPECT_TRUE(servedSoon());
}

TEST_F(ControlServerTest, StartsStopsClearsAndResetsWhatItWasAskedTo)
{
    ControlClient client;
    ASSERT_TRUE(client.connectTo(control.socketPath()));
    EXPECT_EQ(ask(client, "server", Json{{"action", "start"}}).result, (Json{{"changed", true}, {"running", true}}));
    EXPECT_EQ(ask(client, "server", Json{{"action", "start"}}).result["changed"], false);
    EXPECT_TRUE(components.server().isRunning());

    const Reply log = ask(client, "log");
    ASSERT_EQ(log.result["entries"].size(), 1u);
    EXPECT_EQ(log.result["entries"][0]["message"], "Server started");
    EXPECT_EQ(ask(client, "clear-log").result["count"], 1);
    EXPECT_TRUE(components.activityLog().entries().isEmpty());

    // Figures recorded but not yet saved are dropped by a reset, so this process never writes
    // them back into the store another process has just emptied.
    components.statistics().recordRequest();
    components.statistics().recordRequest();
    ASSERT_TRUE(components.statistics().needsSave());
    EXPECT_TRUE(ask(client, "reset-stats").ok);
    components.statistics().saveIfNeeded();
    components.shutdown();
    QSettings stored(dir.filePath(QStringLiteral("zarnel.conf")), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("stats_totalRequests"), 0).toInt(), 0);
}

TEST_F(ControlServerTest, SubscribersHearOfLogEntriesServerStateAndSettings)
{
    ControlClient client;
    QList<std::pair<QString, Json>> events;
    ASSERT_TRUE(subscribe(client, events));

    components.server().start();
    EXPECT_TRUE(ask(client, "set-setting", Json{{"key", "logLevel"}, {"value", "warning"}}).ok);
    components.activityLog().clear();
    const auto find = [&](const char* name) -> Json {
        for (const auto& [event, data] : events) {
            if (event == QLatin1String(name))
                return data;
        }
        return nullptr;
    };
    ASSERT_TRUE(waitUntil([&] { return !find("logCleared").is_null(); }));
    EXPECT_EQ(find("logEntry")["message"], "Server started");
    EXPECT_EQ(find("server")["running"], true);
    EXPECT_EQ(find("setting"), (Json{{"key", "logLevel"}, {"value", "warning"}}));
    EXPECT_EQ(components.settings().logLevel(), LogLevel::Warning);
    // Assigned through the manager, so stored as any change from the settings screen is.
    EXPECT_EQ(store.readString(QStringLiteral("logLevel")), QStringLiteral("warning"));
}

TEST_F(ControlServerTest, AWaitingClientIsReportedWithTheNameItGaveAndHeardOfByEvent)
{
    ControlClient client;
    QList<std::pair<QString, Json>> events;
    ASSERT_TRUE(subscribe(client, events));
    EXPECT_EQ(ask(client, "status").result["waiting"], false);

    components.server().keepReadingWhileStopped();
    streams.feed(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-11-25","capabilities":{},)"
                 R"("clientInfo":{"name":"Claude Code","version":"1.2"}}})"
                 "\n");
    const Json status = ask(client, "status").result;
    EXPECT_EQ(status["waiting"], true);
    EXPECT_EQ(status["running"], false);
    EXPECT_EQ(status["clientName"], "Claude Code");
    EXPECT_EQ(status["connections"], 0);
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(events.cbegin(), events.cend(), [](const auto& each) { return each.first == QLatin1String("server"); });
    }));
    const auto server =
        std::find_if(events.cbegin(), events.cend(), [](const auto& each) { return each.first == QLatin1String("server"); });
    EXPECT_EQ(server->second, (Json{{"running", false}, {"waiting", true}}));
}

TEST_F(ControlServerTest, RegisteredCommandsAndTheDashboardRequest)
{
    control.registerCommand(QStringLiteral("confirm"), [](Json args) -> QCoro::Task<Reply> {
        co_return Reply::success(Json{{"echo", args}});
    });
    ControlClient client;
    ASSERT_TRUE(client.connectTo(control.socketPath()));
    EXPECT_EQ(ask(client, "confirm", Json{{"tool", "x"}}).result["echo"]["tool"], "x");

    EXPECT_EQ(ask(client, "show-dashboard").code, Code::Failed);
    int shown = 0;
    QObject::connect(&control, &ControlServer::showDashboardRequested, [&] { ++shown; });
    EXPECT_FALSE(ask(client, "show-dashboard").ok); // connected, but not the desktop instance
    control.setDesktop(true);
    EXPECT_TRUE(ask(client, "show-dashboard").ok);
    EXPECT_EQ(shown, 1);
}

TEST(SettingValues, ChecksEachSettingsKind)
{
    const std::tuple<const char*, const char*, std::optional<Json>> cases[] = {
        {"autoStartServer", "true", Json(true)}, {"autoStartServer", "yes", std::nullopt}, {"maxLogEntries", "250", Json(250)},
        {"maxLogEntries", "-1", std::nullopt},   {"maxLogEntries", "1.5", std::nullopt},   {"commandTimeout", "0", std::nullopt},
        {"logLevel", "error", Json("error")},    {"logLevel", "Error", std::nullopt},      {"colour", "red", std::nullopt},
        {"historyDays", "0", Json(0)},           {"historyDays", "-1", std::nullopt},
    };
    for (const auto& [key, text, expected] : cases) {
        const SettingValues::Checked checked = SettingValues::parse(key, text);
        if (expected)
            EXPECT_EQ(std::get<Json>(checked), *expected) << key << " " << text;
        else
            EXPECT_TRUE(std::holds_alternative<QString>(checked)) << key << " " << text;
    }
    EXPECT_TRUE(std::holds_alternative<Json>(SettingValues::check(QStringLiteral("commandTimeout"), QVariant(60))));
    EXPECT_EQ(SettingValues::keys().size(), 12);
}

TEST(SettingValues, TakesFoldersThatExistMadeAbsolute)
{
    QTemporaryDir folder;
    const QString path = folder.path();
    EXPECT_EQ(std::get<Json>(SettingValues::parse(QStringLiteral("allowedFolders"), path + QStringLiteral("/.:/tmp"))),
              Json::array({path.toStdString(), "/tmp"}));
    EXPECT_EQ(std::get<Json>(SettingValues::parse(QStringLiteral("readOnlyFolders"), QString())), Json::array());
    EXPECT_EQ(std::get<QString>(SettingValues::parse(QStringLiteral("allowedFolders"), path + QStringLiteral("/missing"))),
              QStringLiteral("Not a folder: %1/missing").arg(path));
    EXPECT_EQ(std::get<Json>(SettingValues::folderFromArgument(QStringLiteral("~"))), Json(QDir::homePath().toStdString()));
    EXPECT_TRUE(std::holds_alternative<QString>(SettingValues::check(QStringLiteral("allowedFolders"), Json::array({"relative"}))));
}

} // namespace

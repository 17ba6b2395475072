#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <QLocalSocket>

#include <csignal>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QByteArray output;
    QByteArray error;
};

Outcome runZarnel(const TemporaryHome& home, const QStringList& arguments)
{
    ZarnelProcess::CommandRun run = ZarnelProcess::runCommand(home, arguments);
    return {run.status, std::move(run.output), std::move(run.error)};
}

nlohmann::json runJson(const TemporaryHome& home, QStringList arguments)
{
    arguments.append(QStringLiteral("--json"));
    const Outcome outcome = runZarnel(home, arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.error.constData();
    return nlohmann::json::parse(outcome.output.toStdString(), nullptr, false);
}

QString controlFolder(const TemporaryHome& home)
{
    return home.path() + QStringLiteral("/runtime/zarnel");
}

// A headless zarnel started by a client of the given name, its initialize answered.
std::unique_ptr<ZarnelProcess> startClient(const TemporaryHome& home, const std::string& clientName)
{
    return ZarnelProcess::startClient(home, clientName, "2.1", "2024-11-05");
}

std::vector<std::string> messagesOf(const nlohmann::json& log, qint64 pid)
{
    std::vector<std::string> messages;
    for (const auto& entry : log["value"]) {
        if (entry["pid"] == pid)
            messages.push_back(entry["message"]);
    }
    return messages;
}

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.cbegin(), list.cend(), item) != list.cend();
}

class TwoProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        first = startClient(home, "Alpha Assistant");
        second = startClient(home, "Beta Assistant");
        ASSERT_TRUE(first && second);
        firstPid = first->process().processId();
        secondPid = second->process().processId();
    }

    TemporaryHome home;
    std::unique_ptr<ZarnelProcess> first;
    std::unique_ptr<ZarnelProcess> second;
    qint64 firstPid = 0;
    qint64 secondPid = 0;
};

TEST_F(TwoProcesses, StatusAddsUpBothAndServerStopsAndStartsBoth)
{
    const Outcome status = runZarnel(home, {QStringLiteral("status")});
    EXPECT_EQ(status.status, 0);
    // One initialize request each, saved by each process before the store is read.
    EXPECT_EQ(status.output, "Zarnel server is running with 2 connections. Total: 2 requests, 0 tool calls.\n");
    const auto entity = runJson(home, {QStringLiteral("status")})["value"];
    EXPECT_EQ(entity["isRunning"], true);
    EXPECT_EQ(entity["connectionCount"], 2);
    EXPECT_EQ(runZarnel(home, {QStringLiteral("connections")}).output, "2 active connections\n");

    const Outcome stop = runZarnel(home, {QStringLiteral("server"), QStringLiteral("stop")});
    EXPECT_EQ(stop.status, 0);
    EXPECT_EQ(stop.output, "Zarnel server stopped\n");
    EXPECT_EQ(runZarnel(home, {QStringLiteral("server"), QStringLiteral("stop")}).output, "Zarnel server is not running\n");
    const auto log = runJson(home, {QStringLiteral("log")});
    EXPECT_TRUE(contains(messagesOf(log, firstPid), "Server stopped"));
    EXPECT_TRUE(contains(messagesOf(log, secondPid), "Server stopped"));
    EXPECT_TRUE(runZarnel(home, {QStringLiteral("status")}).output.startsWith("Zarnel server is stopped."));

    EXPECT_EQ(runZarnel(home, {QStringLiteral("server"), QStringLiteral("start")}).output, "Zarnel server started successfully\n");
    EXPECT_EQ(runJson(home, {QStringLiteral("status")})["value"]["isRunning"], true);
    // Both serve again: each answers its client.
    EXPECT_TRUE(first->request("ping"));
    EXPECT_TRUE(second->request("ping"));
}

TEST_F(TwoProcesses, StartStartsTheStoppedProcessesWhileAnotherRuns)
{
    ASSERT_EQ(runZarnel(home, {QStringLiteral("server"), QStringLiteral("stop")}).status, 0);
    const auto third = startClient(home, "Gamma Assistant");
    ASSERT_TRUE(third);

    const Outcome start = runZarnel(home, {QStringLiteral("server"), QStringLiteral("start")});
    EXPECT_EQ(start.status, 0);
    EXPECT_EQ(start.output, "Zarnel server started successfully in 2 stopped processes (already running in 1)\n");
    EXPECT_TRUE(first->request("ping"));
    EXPECT_TRUE(second->request("ping"));
    EXPECT_TRUE(third->request("ping"));
    EXPECT_EQ(runZarnel(home, {QStringLiteral("server"), QStringLiteral("start")}).output, "Zarnel server is already running\n");
}

TEST_F(TwoProcesses, LogNamesEachClientAndClearLogAddsUpTheCounts)
{
    const Outcome log = runZarnel(home, {QStringLiteral("log")});
    EXPECT_EQ(log.status, 0);
    EXPECT_TRUE(log.output.contains("Alpha Assistant (" + QByteArray::number(firstPid) + "): Connected: Alpha Assistant v2.1"))
        << log.output.constData();
    EXPECT_TRUE(log.output.contains("Beta Assistant (" + QByteArray::number(secondPid) + "): Connected: Beta Assistant v2.1"));

    const std::size_t entries = runJson(home, {QStringLiteral("log")})["value"].size();
    ASSERT_GE(entries, 6u); // started, request and connected in each
    const Outcome unconfirmed = runZarnel(home, {QStringLiteral("clear-log")});
    EXPECT_EQ(unconfirmed.status, 1);
    EXPECT_EQ(unconfirmed.error, "zarnel: Please confirm to clear the activity log (--confirm)\n");
    const Outcome cleared = runZarnel(home, {QStringLiteral("clear-log"), QStringLiteral("--confirm")});
    EXPECT_EQ(cleared.output, "Cleared " + QByteArray::number(qulonglong(entries)) + " activity log entries\n");
    EXPECT_TRUE(runJson(home, {QStringLiteral("log")})["value"].empty());

    const Outcome exported = runZarnel(
        home,
        {QStringLiteral("export-log"), QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("-o"), QStringLiteral("-")});
    EXPECT_EQ(exported.output, "[]");
    EXPECT_EQ(exported.error, "Exported 0 log entries as JSON\n");
}

// Reads a running command's output until a line holds the text; false on time-out.
bool waitForOutput(QProcess& process, QByteArray& output, const QByteArray& text, int timeoutMs = 10000)
{
    QElapsedTimer waited;
    waited.start();
    while (!output.contains(text)) {
        if (waited.hasExpired(timeoutMs) || process.state() != QProcess::Running)
            return false;
        process.waitForReadyRead(100);
        output += process.readAllStandardOutput();
    }
    return true;
}

TEST_F(TwoProcesses, FollowShowsEveryEntryOnceAndTheFirstOnesOfAProcessFoundLater)
{
    QProcess following;
    following.setProcessEnvironment(home.environment());
    following.setStandardInputFile(QProcess::nullDevice());
    following.start(ZarnelProcess::binaryPath(), {QStringLiteral("log"), QStringLiteral("--follow")});
    ASSERT_TRUE(following.waitForStarted());
    QByteArray output;
    const auto of = [](qint64 pid, const char* message) { return "(" + QByteArray::number(pid) + "): " + message + "\n"; };
    ASSERT_TRUE(waitForOutput(following, output, of(secondPid, "Connected: Beta Assistant v2.1"))) << output.constData();
    EXPECT_TRUE(output.contains(of(firstPid, "Connected: Alpha Assistant v2.1")));
    ASSERT_TRUE(first->request("resources/list"));
    ASSERT_TRUE(waitForOutput(following, output, of(firstPid, "Resources list requested")));

    // Found at the next look at the control folder, with what it logged before that.
    const auto third = startClient(home, "Gamma Assistant");
    ASSERT_TRUE(third);
    const qint64 thirdPid = third->process().processId();
    ASSERT_TRUE(waitForOutput(following, output, of(thirdPid, "Connected: Gamma Assistant v2.1"))) << output.constData();
    ASSERT_TRUE(third->request("tools/list"));
    ASSERT_TRUE(waitForOutput(following, output, of(thirdPid, "Request: tools/list")));
    following.terminate();
    following.waitForFinished(5000);
    output += following.readAllStandardOutput();

    // The new process's lines in the order it logged them, and no entry twice.
    const QList<QByteArray> lines = output.split('\n');
    const auto at = [&](qint64 pid, const char* message) {
        return std::find_if(lines.cbegin(), lines.cend(), [&](const QByteArray& line) { return (line + "\n").endsWith(of(pid, message)); })
            - lines.cbegin();
    };
    EXPECT_LT(at(thirdPid, "Server started"), at(thirdPid, "Connected: Gamma Assistant v2.1"));
    EXPECT_LT(at(thirdPid, "Connected: Gamma Assistant v2.1"), at(thirdPid, "Request: tools/list"));
    for (const qint64 pid : {firstPid, secondPid, thirdPid}) {
        EXPECT_EQ(output.count(of(pid, "Server started")), 1) << output.constData();
        EXPECT_EQ(output.count(of(pid, "Request: initialize")), 1);
    }
    EXPECT_EQ(output.count(of(firstPid, "Resources list requested")), 1);
}

TEST_F(TwoProcesses, ResetNeedsConfirmationAndRunningProcessesDoNotWriteOldFiguresBack)
{
    ASSERT_TRUE(first->callTool("list_directory", {{"path", home.path().toStdString()}}));
    const Outcome unconfirmed = runZarnel(home, {QStringLiteral("reset-stats")});
    EXPECT_EQ(unconfirmed.status, 1);
    EXPECT_EQ(unconfirmed.error, "zarnel: Please confirm to reset statistics (--confirm)\n");
    EXPECT_TRUE(unconfirmed.output.isEmpty());
    EXPECT_EQ(runJson(home, {QStringLiteral("stats")})["value"]["totalToolCalls"], 1);

    // Recorded by the first process and not yet saved when the reset comes.
    ASSERT_TRUE(first->request("ping"));
    EXPECT_EQ(runZarnel(home, {QStringLiteral("reset-stats"), QStringLiteral("--confirm")}).output, "All statistics have been reset\n");
    ASSERT_TRUE(second->request("ping"));
    const auto stats = runJson(home, {QStringLiteral("stats")})["value"];
    EXPECT_EQ(stats["totalRequests"], 1);
    EXPECT_EQ(stats["totalToolCalls"], 0);
}

TEST_F(TwoProcesses, ASettingReachesRunningProcessesAtOnce)
{
    const Outcome set =
        runZarnel(home, {QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("logLevel"), QStringLiteral("error")});
    EXPECT_EQ(set.status, 0) << set.error.constData();
    EXPECT_EQ(set.output, "logLevel = error\n");
    ASSERT_TRUE(runZarnel(home, {QStringLiteral("clear-log"), QStringLiteral("--confirm")}).status == 0);
    // At the error level a request writes no entry, in both processes.
    ASSERT_TRUE(first->request("ping"));
    ASSERT_TRUE(second->request("tools/list"));
    EXPECT_TRUE(runJson(home, {QStringLiteral("log")})["value"].empty());
    EXPECT_EQ(runJson(home, {QStringLiteral("settings"), QStringLiteral("get"), QStringLiteral("logLevel")})["value"], "error");

    const Outcome wrongType =
        runZarnel(home, {QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("maxLogEntries"), QStringLiteral("many")});
    EXPECT_EQ(wrongType.status, 2);
    EXPECT_TRUE(wrongType.error.contains("maxLogEntries takes a whole number")) << wrongType.error.constData();
    EXPECT_TRUE(wrongType.error.contains("Usage: zarnel settings"));
}

TEST_F(TwoProcesses, AKilledProcessSocketIsRemovedAndIgnored)
{
    const QString socket = controlFolder(home) + QStringLiteral("/%1.sock").arg(secondPid);
    ASSERT_TRUE(QFile::exists(socket));
    ::kill(static_cast<pid_t>(secondPid), SIGKILL);
    second->process().waitForFinished(10000);
    ASSERT_TRUE(QFile::exists(socket)); // a killed process cannot clean up

    EXPECT_EQ(runJson(home, {QStringLiteral("status")})["value"]["connectionCount"], 1);
    EXPECT_FALSE(QFile::exists(socket));

    // An orderly exit removes the socket itself.
    const QString firstSocket = controlFolder(home) + QStringLiteral("/%1.sock").arg(firstPid);
    first->closeInput();
    ASSERT_TRUE(first->waitForExit());
    EXPECT_FALSE(QFile::exists(firstSocket));
    const Outcome none = runZarnel(home, {QStringLiteral("server")});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.error, "zarnel: No Zarnel process is running\n");
    // What the killed process had not saved is lost; the rest is there.
    EXPECT_TRUE(runZarnel(home, {QStringLiteral("status")}).output.startsWith("Zarnel server is stopped. Total statistics: "));
}

TEST_F(TwoProcesses, AProcessWhoseServerIsStoppedStillEndsWithItsClient)
{
    ASSERT_TRUE(first->request("ping"));
    ASSERT_EQ(runZarnel(home, {QStringLiteral("server"), QStringLiteral("stop")}).status, 0);
    QSettings stored(home.preferencesPath(), QSettings::IniFormat);
    const double uptime = stored.value(QStringLiteral("stats_totalUptime")).toDouble();
    // A request sent while the server is stopped is left unread; the client leaving is not.
    first->sendLine(R"({"jsonrpc":"2.0","id":99,"method":"ping"})");
    first->closeInput();
    ASSERT_TRUE(first->waitForExit(5000));
    EXPECT_EQ(first->process().exitCode(), 0);
    EXPECT_FALSE(QFile::exists(controlFolder(home) + QStringLiteral("/%1.sock").arg(firstPid)));
    stored.sync();
    // Both sessions ended at the stop and were saved; the exit saved nothing less.
    EXPECT_GE(stored.value(QStringLiteral("stats_totalUptime")).toDouble(), uptime);
    EXPECT_EQ(runJson(home, {QStringLiteral("stats")})["value"]["totalRequests"], 3);
    EXPECT_TRUE(second->isRunning());
}

TEST(ControlCommands, StatusCountsEveryOneOfTenProcessesSavingAtOnce)
{
    // Each process saves before it answers, all at once, under one lock: none may miss the
    // answer's time limit waiting for the others.
    TemporaryHome home;
    std::vector<std::unique_ptr<ZarnelProcess>> clients;
    for (int i = 0; i < 10; ++i) {
        clients.push_back(startClient(home, "Assistant " + std::to_string(i)));
        ASSERT_TRUE(clients.back());
    }
    for (int round = 0; round < 3; ++round) {
        const Outcome status = runZarnel(home, {QStringLiteral("status")});
        EXPECT_TRUE(status.output.startsWith("Zarnel server is running with 10 connections.")) << status.output.constData();
    }
}

TEST(ControlCommands, LogAndExportLogCarryALogLargerThanOneControlLine)
{
    TemporaryHome home;
    home.writePreferences({{QStringLiteral("maxLogEntries"), 100000}});
    const auto process = startClient(home, "Chatty Assistant");
    ASSERT_TRUE(process);
    // Each ping leaves an entry: together far more than one control line may carry.
    constexpr int kPings = 12000;
    QByteArray pings;
    for (int id = 1; id <= kPings; ++id)
        pings += R"({"jsonrpc":"2.0","id":"p)" + QByteArray::number(id) + R"(","method":"ping"})" + '\n';
    process->write(pings);
    for (int answered = 0; answered < kPings; ++answered)
        ASSERT_TRUE(process->readLine()) << answered;

    const Outcome log = runZarnel(home, {QStringLiteral("log")});
    EXPECT_EQ(log.status, 0) << log.error.constData();
    EXPECT_GE(log.output.count(": Request: ping\n"), kPings);
    const auto json = runJson(home, {QStringLiteral("log")});
    EXPECT_GE(json["value"].size(), std::size_t{kPings});
    std::set<std::string> ids;
    for (const auto& entry : json["value"])
        ids.insert(entry.value("id", std::string()));
    EXPECT_EQ(ids.size(), json["value"].size()); // no entry twice, though it came page by page

    const Outcome exported = runZarnel(
        home,
        {QStringLiteral("export-log"), QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("-o"), QStringLiteral("-")});
    EXPECT_EQ(exported.status, 0);
    const auto document = nlohmann::json::parse(exported.output.toStdString(), nullptr, false);
    ASSERT_TRUE(document.is_array());
    EXPECT_GE(document.size(), std::size_t{kPings});
    EXPECT_EQ(exported.error, "Exported " + QByteArray::number(qulonglong(document.size())) + " log entries as JSON\n");

    QProcess following;
    following.setProcessEnvironment(home.environment());
    following.start(ZarnelProcess::binaryPath(), {QStringLiteral("log"), QStringLiteral("--follow")});
    QByteArray followed;
    QElapsedTimer waited;
    waited.start();
    while (followed.count(": Request: ping\n") < kPings && !waited.hasExpired(30000) && following.state() != QProcess::NotRunning) {
        following.waitForReadyRead(100);
        followed += following.readAllStandardOutput();
    }
    EXPECT_GE(followed.count(": Request: ping\n"), kPings);
    following.kill();
    following.waitForFinished(10000);
}

TEST(ControlSocket, ThousandsOfConnectionsLoseNeitherTheSocketNorTheToolsDescriptors)
{
    // This process holds every connection it opens.
    struct rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < 2048)
        GTEST_SKIP() << "needs 2,048 descriptors of its own";
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, 2048);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);

    TemporaryHome home;
    ZarnelProcess zarnel(home);
    // The common limit, which zarnel cannot raise.
    zarnel.setLauncher({QStringLiteral("prlimit"), QStringLiteral("--nofile=1024:1024"), QStringLiteral("--")});
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize());
    const QString path = controlFolder(home) + QStringLiteral("/%1.sock").arg(zarnel.process().processId());
    ASSERT_TRUE(QFile::exists(path));

    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    for (int i = 0; i < 1100; ++i) {
        sockets.push_back(std::make_unique<QLocalSocket>());
        sockets.back()->connectToServer(path);
    }
    const auto stillConnecting = [&] {
        return std::any_of(sockets.cbegin(), sockets.cend(),
                           [](const auto& socket) { return socket->state() == QLocalSocket::ConnectingState; });
    };
    QElapsedTimer waited;
    waited.start();
    while (stillConnecting() && !waited.hasExpired(60000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    EXPECT_TRUE(QFile::exists(path));
    const Outcome status = runZarnel(home, {QStringLiteral("status")});
    EXPECT_TRUE(status.output.startsWith("Zarnel server is running with 1 connection")) << status.output.constData();
    const auto listed = zarnel.callTool("list_directory", {{"path", home.path().toStdString()}});
    ASSERT_TRUE(listed);
    EXPECT_FALSE(listed->value("isError", false)) << listed->dump();
    const auto command = zarnel.callTool("execute_command", {{"command", "echo still here"}});
    ASSERT_TRUE(command);
    EXPECT_TRUE(resultText(*command).find("still here") != std::string::npos) << command->dump();
    EXPECT_TRUE(zarnel.isRunning());
}

TEST(ControlCommands, FoldersAtTheSettingsLocksFreezeNoProcessAndTheStatisticsAreSavedOnceTheyAreGone)
{
    TemporaryHome home;
    auto client = startClient(home, "Assistant");
    ASSERT_TRUE(client);
    const QStringList locks{home.preferencesPath() + QStringLiteral(".lock"), home.preferencesPath() + QStringLiteral(".update-lock")};
    for (const QString& lock : locks)
        ASSERT_TRUE(QDir().mkpath(lock));
    ASSERT_TRUE(client->request("ping"));
    // The status command has every process save first.
    EXPECT_EQ(runZarnel(home, {QStringLiteral("status")}).status, 0);
    EXPECT_TRUE(client->request("ping")) << client->standardError().constData();

    for (const QString& lock : locks)
        ASSERT_TRUE(QDir().rmdir(lock));
    EXPECT_EQ(runZarnel(home, {QStringLiteral("status")}).status, 0);
    EXPECT_EQ(QSettings(home.preferencesPath(), QSettings::IniFormat).value(QStringLiteral("stats_totalRequests")).toInt(), 3);

    ASSERT_TRUE(QDir().mkpath(locks.first()));
    ASSERT_TRUE(client->request("ping"));
    client->closeInput();
    EXPECT_TRUE(client->waitForExit());
    EXPECT_EQ(client->process().exitCode(), 0);
}

TEST(ControlCommands, ASettingThatCannotBeWrittenIsReportedAsNotStored)
{
    TemporaryHome home;
    const QString lock = home.preferencesPath() + QStringLiteral(".lock");
    ASSERT_TRUE(QDir().mkpath(lock));
    const Outcome set =
        runZarnel(home, {QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("maxLogEntries"), QStringLiteral("500")});
    EXPECT_EQ(set.status, 1);
    // Among the log's lines about it.
    EXPECT_TRUE(set.error.contains("\nzarnel: maxLogEntries is not stored: " + lock.toUtf8() + " is a folder, not a lock file\n"))
        << set.error.constData();
    ASSERT_TRUE(QDir().rmdir(lock));
    EXPECT_EQ(QSettings(home.preferencesPath(), QSettings::IniFormat).value(QStringLiteral("maxLogEntries")), QVariant());
}

TEST(ControlSocket, AConnectionFromAnotherUserGetsNothing)
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        GTEST_SKIP() << "needs root and setpriv to act as another user";
    TemporaryHome home;
    const auto process = startClient(home, "Owner");
    ASSERT_TRUE(process);
    const QString socket = controlFolder(home) + QStringLiteral("/%1.sock").arg(process->process().processId());
    // Opened up for this test only, so that the other user reaches the socket at all: what
    // stops it then is the check of its user id.
    for (const QString& path : {home.path(), home.path() + QStringLiteral("/runtime"), controlFolder(home)})
        ASSERT_TRUE(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(socket, QFileDevice::Permissions(0x7777)));

    QProcess peer;
    peer.start(QStringLiteral("setpriv"),
               {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                QStringLiteral(CONTROL_PEER), socket});
    ASSERT_TRUE(peer.waitForFinished(20000));
    EXPECT_EQ(peer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().constData();
    EXPECT_TRUE(peer.readAllStandardOutput().isEmpty());

    // The owner still gets its answers.
    QProcess owner;
    owner.start(QStringLiteral(CONTROL_PEER), {socket});
    ASSERT_TRUE(owner.waitForFinished(20000));
    EXPECT_TRUE(owner.readAllStandardOutput().contains("\"ok\":true"));
    EXPECT_TRUE(process->request("ping"));
}

TEST(ControlSocket, AFolderOthersMayEnterIsRefusedAndTheClientStillServed)
{
    TemporaryHome home;
    ASSERT_TRUE(QDir().mkpath(controlFolder(home)));
    ASSERT_TRUE(QFile::setPermissions(controlFolder(home), QFileDevice::Permissions(0x7755)));
    ZarnelProcess process(home);
    ASSERT_TRUE(process.start());
    EXPECT_TRUE(process.initialize());
    EXPECT_TRUE(QDir(controlFolder(home)).entryList(QDir::System | QDir::Files).isEmpty());
    process.closeInput();
    ASSERT_TRUE(process.waitForExit());
    const QByteArray error = process.standardError();
    EXPECT_TRUE(error.contains("no control socket")) << error.constData();
    EXPECT_TRUE(error.contains("mode 0755")) << error.constData();
}

TEST(ControlCommands, UsageErrorsHelpAndTheToolsOfThisProcess)
{
    TemporaryHome home;
    const Outcome unknown = runZarnel(home, {QStringLiteral("frobnicate")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.error.startsWith("zarnel: unknown command 'frobnicate'"));
    const Outcome badOption = runZarnel(home, {QStringLiteral("status"), QStringLiteral("--colour")});
    EXPECT_EQ(badOption.status, 2);
    EXPECT_TRUE(badOption.error.contains("colour")) << badOption.error.constData();
    EXPECT_EQ(runZarnel(home, {QStringLiteral("tools"), QStringLiteral("--category"), QStringLiteral("games")}).status, 2);
    EXPECT_EQ(runZarnel(home, {QStringLiteral("server"), QStringLiteral("restart")}).status, 2);

    const Outcome overview = runZarnel(home, {QStringLiteral("--help")});
    EXPECT_TRUE(overview.output.contains("export-log")) << overview.output.constData();
    const Outcome help = runZarnel(home, {QStringLiteral("help"), QStringLiteral("export-log")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.startsWith("Usage: zarnel export-log [--format text|json] [-o FILE] [--force]"));

    EXPECT_EQ(runJson(home, {QStringLiteral("tools"), QStringLiteral("--category"), QStringLiteral("appControl")})["dialog"],
              "Found 4 tools in App Control category");
    // exec prints what the tool returned and fails when the tool did.
    const Outcome missing = runZarnel(home, {QStringLiteral("exec"), QStringLiteral("read_file")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.error, "zarnel: Tool 'read_file' failed: Missing required argument: path\n");
    EXPECT_TRUE(missing.output.isEmpty()) << missing.output.constData();
    const auto written =
        runJson(home, {QStringLiteral("exec"), QStringLiteral("write_file"), QStringLiteral(R"({"path":"note.txt","content":"hi"})")});
    EXPECT_EQ(written["dialog"], "Tool 'write_file' executed successfully");
    const QString note = home.path() + QStringLiteral("/note.txt");
    const Outcome read =
        runZarnel(home, {QStringLiteral("exec"), QStringLiteral("read_file"), QStringLiteral(R"({"path":"%1"})").arg(note)});
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.output, "Tool 'read_file' executed successfully\nhi\n");
    EXPECT_TRUE(read.error.isEmpty()) << read.error.constData();
    const Outcome gone =
        runZarnel(home, {QStringLiteral("exec"), QStringLiteral("read_file"), QStringLiteral(R"({"path":"/nonexistent"})")});
    EXPECT_EQ(gone.status, 1);
    EXPECT_TRUE(gone.error.startsWith("zarnel: Tool 'read_file' failed: ")) << gone.error.constData();
    for (const QString& arguments : {QStringLiteral("{"), QStringLiteral("[1]"), QStringLiteral("\"path\"")})
        EXPECT_EQ(runZarnel(home, {QStringLiteral("exec"), QStringLiteral("read_file"), arguments}).status, 2) << arguments.toStdString();
    const Outcome unknownTool = runZarnel(home, {QStringLiteral("exec"), QStringLiteral("no_such_tool")});
    EXPECT_EQ(unknownTool.status, 2);
    EXPECT_EQ(unknownTool.error, "zarnel: Tool 'no_such_tool' not found\n");
    EXPECT_EQ(runZarnel(home, {QStringLiteral("tool-info"), QStringLiteral("no_such_tool")}).status, 2);
    EXPECT_EQ(runZarnel(home, {QStringLiteral("tool-info"), QStringLiteral("read_file")}).status, 0);

    const Outcome negative =
        runZarnel(home, {QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("maxLogEntries"), QStringLiteral("-1")});
    EXPECT_EQ(negative.status, 2);
    EXPECT_TRUE(negative.error.startsWith("zarnel: maxLogEntries takes a whole number of at least ")) << negative.error.constData();

    // With nothing running and no display, nothing can show a dashboard.
    const Outcome dashboard = runZarnel(home, {QStringLiteral("dashboard")});
    EXPECT_EQ(dashboard.status, 1);
    EXPECT_EQ(dashboard.error, "zarnel: No display to show the Zarnel dashboard on\n");

    // Exports go to the current folder under their suggested name, and never over a file.
    const auto exported = runJson(home, {QStringLiteral("export-stats")});
    const QString path = QString::fromStdString(exported["value"]);
    EXPECT_TRUE(path.startsWith(home.path() + QStringLiteral("/zarnel-statistics-"))) << path.toStdString();
    EXPECT_TRUE(QFile::exists(path));
    const Outcome again = runZarnel(home, {QStringLiteral("export-stats"), QStringLiteral("-o"), path});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.error.contains("--force"));
    EXPECT_EQ(runZarnel(home, {QStringLiteral("export-stats"), QStringLiteral("-o"), path, QStringLiteral("--force")}).status, 0);
}

// `export-stats -o <path> --force`, for the checks of what the export did to the path.
Outcome forcedExport(const TemporaryHome& home, const QString& path)
{
    return runZarnel(home, {QStringLiteral("export-stats"), QStringLiteral("-o"), path, QStringLiteral("--force")});
}

TEST(ControlCommands, AForcedExportReplacesNoSpecialFileAndWritesALinkedOrAnotherUsersFileInPlace)
{
    TemporaryHome home;
    const QString fifo = home.path() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const Outcome refused = forcedExport(home, fifo);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.error, "zarnel: cannot write " + fifo.toUtf8() + ": Not a regular file\n");
    struct stat fifoInfo {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &fifoInfo), 0);
    EXPECT_TRUE(S_ISFIFO(fifoInfo.st_mode));

    const QString first = home.path() + QStringLiteral("/first.json");
    const QString second = home.path() + QStringLiteral("/second.json");
    {
        QFile file(first);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(second).constData(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(second).constData(), 4321, 8765), 0);
    }
    ASSERT_EQ(forcedExport(home, second).status, 0);
    struct stat before {};
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(first).constData(), &before), 0);
    ASSERT_EQ(::stat(QFile::encodeName(second).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (::geteuid() == 0) {
        EXPECT_EQ(after.st_uid, 4321u);
        EXPECT_EQ(after.st_gid, 8765u);
    }
    QFile written(first);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("{\n  \"exportDate\" : "));

    // Another user's file alone, without a second name.
    if (::geteuid() == 0) {
        ASSERT_EQ(::unlink(QFile::encodeName(first).constData()), 0);
        ASSERT_EQ(forcedExport(home, second).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(second).constData(), &after), 0);
        EXPECT_EQ(after.st_uid, 4321u);
        EXPECT_EQ(after.st_gid, 8765u);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
    }
}

TEST(ControlCommands, AForcedExportLeavesADeviceNodeAloneInAPrivateMountNamespace)
{
    // The node is made on a tmpfs of a mount namespace of the command's own, never in /dev.
    if (QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty())
        GTEST_SKIP() << "no unshare";
    TemporaryHome home;
    const QString devices = home.path() + QStringLiteral("/dev");
    ASSERT_TRUE(QDir().mkpath(devices));
    QProcess process;
    process.setProcessEnvironment(home.environment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"), QStringLiteral("sh"),
                   QStringLiteral("-c"),
                   QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$2\" && mknod \"$2/null\" c 1 3 || exit 77; "
                                  "\"$1\" export-stats -o \"$2/null\" --force; echo \"exit $?\"; "
                                  "stat -c %F \"$2/null\""),
                   QStringLiteral("sh"), ZarnelProcess::binaryPath(), devices});
    ASSERT_TRUE(process.waitForFinished(30000));
    if (process.exitCode() != 0)
        GTEST_SKIP() << "cannot make a device node in a mount namespace here: " << process.readAllStandardError().constData();
    EXPECT_EQ(process.readAllStandardOutput(), "exit 1\ncharacter special file\n");
    EXPECT_TRUE(process.readAllStandardError().contains("/null: Not a regular file")) << process.readAllStandardError().constData();
}

TEST(ControlCommands, LaunchAtLoginWritesTheAutostartEntryWithNoZarnelRunning)
{
    TemporaryHome home;
    const QString entry = home.configHome() + QStringLiteral("/autostart/com.tarvonic.zarnel.desktop");
    const auto set = [&](const char* value) {
        return runZarnel(home,
                         {QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("launchAtLogin"), QString::fromLatin1(value)});
    };
    const Outcome on = set("true");
    EXPECT_EQ(on.status, 0) << on.error.constData();
    QFile written(entry);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains(" --hidden\n"));
    written.close();
    EXPECT_EQ(set("false").status, 0);
    EXPECT_FALSE(QFile::exists(entry));

    // Someone else's entry in the same place is never replaced or removed.
    QFile foreign(entry);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("[Desktop Entry]\nType=Application\nExec=mine\n");
    foreign.close();
    const Outcome refused = set("true");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.error.contains("launchAtLogin is stored, but")) << refused.error.constData();
    EXPECT_EQ(set("false").status, 0);
    ASSERT_TRUE(foreign.open(QIODevice::ReadOnly));
    EXPECT_EQ(foreign.readAll(), "[Desktop Entry]\nType=Application\nExec=mine\n");
}

} // namespace

#include "state/HistoryRecorder.h"

#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/HistoryStore.h"
#include "state/SettingsManager.h"
#include "support/InProcessServer.h"

#include <QDir>
#include <QFile>

namespace {

class Recording : public InProcessServer {
protected:
    void SetUp() override
    {
        components->keepHistory(databasePath());
        components->server().start();
    }
    QString databasePath() const { return dir.path() + QStringLiteral("/state/zarnel/history.sqlite"); }

    nlohmann::json callTool(const std::string& name, nlohmann::json arguments)
    {
        return request("tools/call", {{"name", name}, {"arguments", std::move(arguments)}});
    }
    // What the database holds once every call answered so far is written.
    QList<HistoryRecord> stored(const HistoryFilter& filter = {})
    {
        QCoreApplication::processEvents();
        components->history()->flush();
        // What the writer reported back while it wrote.
        QCoreApplication::processEvents();
        HistoryStore reader(databasePath());
        EXPECT_TRUE(reader.open(clock.now()).opened);
        return reader.find(filter, 1000);
    }
    // Every byte the database's files hold.
    QByteArray databaseBytes() const
    {
        QByteArray bytes;
        for (const QString& suffix : {QString(), QStringLiteral("-wal")}) {
            QFile file(databasePath() + suffix);
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll();
        }
        return bytes;
    }
};

TEST_F(Recording, KeepsEachCallWithItsClientRevisionAndOutcome)
{
    initialize("2025-11-25");
    callTool("execute_command", {{"command", "true"}});
    clock.advance(1000);
    callTool("read_file", {{"path", "/nonexistent/file"}});
    clock.advance(1000);
    callTool("no_such_tool", nlohmann::json::object());
    clock.advance(1000);
    components->settings().setRequireConfirmation(true);
    callTool("execute_command", {{"command", "echo refused"}});

    const QList<HistoryRecord> records = stored();
    ASSERT_EQ(records.size(), 4);
    // Newest first.
    EXPECT_EQ(records[0].outcome, QStringLiteral("declined"));
    EXPECT_TRUE(records[0].errorText.startsWith(QStringLiteral("Not approved: execute_command"))) << records[0].errorText.toStdString();
    EXPECT_EQ(records[0].arguments, QStringLiteral("{\"command\":\"echo refused\"}"));
    EXPECT_EQ(records[1].tool, QStringLiteral("no_such_tool"));
    EXPECT_EQ(records[1].outcome, QStringLiteral("error"));
    EXPECT_EQ(records[1].errorText, QStringLiteral("Unknown tool: no_such_tool"));
    EXPECT_EQ(records[2].outcome, QStringLiteral("error"));
    EXPECT_FALSE(records[2].errorText.isEmpty());
    const HistoryRecord& ok = records[3];
    EXPECT_EQ(ok.tool, QStringLiteral("execute_command"));
    EXPECT_EQ(ok.outcome, QStringLiteral("ok"));
    EXPECT_TRUE(ok.errorText.isEmpty());
    EXPECT_EQ(ok.clientName, QStringLiteral("t"));
    EXPECT_EQ(ok.clientVersion, QStringLiteral("1"));
    EXPECT_EQ(ok.revision, QStringLiteral("2025-11-25"));
    EXPECT_EQ(ok.processId, QCoreApplication::applicationPid());
    EXPECT_EQ(ok.time, clock.now().addMSecs(-3000 - static_cast<qint64>(ok.durationMs)));
}

TEST_F(Recording, AStatelessCallIsKeptUnderItsRevisionAndTheClientItNames)
{
    nlohmann::json params = {{"name", "execute_command"}, {"arguments", {{"command", "true"}}}};
    params["_meta"]["io.modelcontextprotocol/clientInfo"] = {{"name", "mcpc"}, {"version", "0.2.6"}};
    modern("tools/call", params);
    const QList<HistoryRecord> records = stored();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].revision, QStringLiteral("2026-07-28"));
    EXPECT_EQ(records[0].outcome, QStringLiteral("ok"));
    EXPECT_EQ(records[0].clientName, QStringLiteral("mcpc"));
    EXPECT_EQ(records[0].clientVersion, QStringLiteral("0.2.6"));
}

TEST_F(Recording, AWrittenTextLeavesNoTraceInTheDatabaseFiles)
{
    const std::string secret = "the-launch-code-is-0451-swordfish";
    const QString target = dir.path() + QStringLiteral("/note.txt");
    initialize("2025-11-25");
    callTool("write_file", {{"path", target.toStdString()}, {"content", secret}});
    callTool("set_clipboard", {{"content", secret}});
    const QList<HistoryRecord> records = stored();
    ASSERT_EQ(records.size(), 2);
    EXPECT_TRUE(records[1].arguments.contains(QStringLiteral("\"sha256\""))) << records[1].arguments.toStdString();
    EXPECT_FALSE(databaseBytes().contains(QByteArray::fromStdString(secret)));
}

TEST_F(Recording, ZeroDaysRecordsNothingAndRemovesNothing)
{
    initialize("2025-11-25");
    callTool("execute_command", {{"command", "true"}});
    ASSERT_EQ(stored().size(), 1);
    components->settings().setHistoryDays(0);
    clock.advance(400LL * 24 * 3600 * 1000);
    components->history()->applyRetention();
    callTool("execute_command", {{"command", "true"}});
    EXPECT_EQ(stored().size(), 1);
}

TEST_F(Recording, RecordsOlderThanHistoryDaysGoWithTheFirstWriteAfterAStart)
{
    initialize("2025-11-25");
    callTool("execute_command", {{"command", "true"}});
    clock.advance(10LL * 24 * 3600 * 1000);
    callTool("execute_command", {{"command", "false"}});
    ASSERT_EQ(stored().size(), 2);

    // A later start, with a shorter setting: what is older than it goes before anything is added.
    components->settings().setHistoryDays(7);
    components->keepHistory(databasePath());
    clock.advance(1000);
    callTool("execute_command", {{"command", "echo"}});
    const QList<HistoryRecord> records = stored();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].arguments, QStringLiteral("{\"command\":\"echo\"}"));
    EXPECT_EQ(records[1].arguments, QStringLiteral("{\"command\":\"false\"}"));
}

TEST_F(Recording, AProcessThatRecordsNothingNeverOpensTheDatabase)
{
    // A client that only looks, and one whose calls are not kept.
    initialize("2025-11-25");
    request("tools/list", nlohmann::json::object());
    components->history()->flush();
    components->settings().setHistoryDays(0);
    callTool("execute_command", {{"command", "true"}});
    components.reset();
    EXPECT_FALSE(QFile::exists(databasePath()));
}

TEST_F(Recording, CallsAnsweredWhileTheDatabaseCannotBeOpenedAreWrittenOnceItCan)
{
    // A folder that is a link is refused: nothing can be written until it is a folder again.
    components.reset();
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path() + QStringLiteral("/state"));
    QDir().mkpath(dir.path() + QStringLiteral("/elsewhere"));
    ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/elsewhere"), dir.path() + QStringLiteral("/state/zarnel")));
    components = std::make_unique<ServerComponents>(store, clock, streams, SystemServices::forThisSession());
    SetUp();
    initialize("2025-11-25");
    callTool("execute_command", {{"command", "echo first"}});
    QCoreApplication::processEvents();
    components->history()->flush();
    ASSERT_TRUE(QFile::remove(dir.path() + QStringLiteral("/state/zarnel")));
    // Newest first: the second call a second later, whatever each took.
    clock.advance(1000);
    callTool("execute_command", {{"command", "echo second"}});
    const QList<HistoryRecord> records = stored();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].arguments, QStringLiteral("{\"command\":\"echo first\"}"));
}

TEST_F(Recording, ADamagedDatabaseIsReplacedWhileCallsAreStillAnswered)
{
    components.reset();
    QDir().mkpath(dir.path() + QStringLiteral("/state/zarnel"));
    {
        QFile garbage(databasePath());
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, '\x7f'));
    }
    components = std::make_unique<ServerComponents>(store, clock, streams, SystemServices::forThisSession());
    SetUp();
    initialize("2025-11-25");
    const nlohmann::json answer = callTool("execute_command", {{"command", "true"}});
    EXPECT_TRUE(answer.contains("result")) << answer.dump();
    ASSERT_EQ(stored().size(), 1);
    const QStringList aside = QDir(dir.path() + QStringLiteral("/state/zarnel")).entryList({QStringLiteral("history.sqlite.broken-*")});
    EXPECT_EQ(aside.size(), 1);
    bool logged = false;
    for (const ActivityLogEntry& entry : components->activityLog().entries())
        logged = logged || (entry.message.contains(QStringLiteral("History database")) && entry.message.contains(aside.value(0)));
    EXPECT_TRUE(logged);
}

} // namespace

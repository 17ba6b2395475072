#include "state/StatisticsManager.h"
#include "platform/processes/Log.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include <sys/stat.h>

namespace {

// One process's view of the store: its own store object and manager over the shared file.
struct Instance {
    Instance(const QString& path, const Clock& clock)
        : store(path)
        , statistics(store, clock)
    {
    }
    QSettingsPreferencesStore store;
    StatisticsManager statistics;
};

class Statistics : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("zarnel.conf")); }
    std::unique_ptr<Instance> start() { return std::make_unique<Instance>(path(), clock); }
    // What another program sees in the file now.
    QVariant stored(const char* key) const { return QSettings(path(), QSettings::IniFormat).value(QString::fromLatin1(key)); }
    Json storedJson(const char* key) const { return Json::parse(stored(key).toByteArray().toStdString()); }

    QTemporaryDir m_dir;
    FakeClock clock;
};

TEST_F(Statistics, ASaveWithNothingNewLeavesTheFileAsItIs)
{
    const auto inode = [&] {
        struct stat info {};
        return ::stat(QFile::encodeName(path()).constData(), &info) == 0 ? info.st_ino : 0;
    };
    auto instance = start();
    instance->statistics.startSession();
    instance->statistics.recordRequest();
    clock.advance(1000);
    instance->statistics.endSession();
    const auto written = inode();
    ASSERT_NE(written, 0u);
    // A client's process that ends saves at its stop and again at its shutdown.
    instance->statistics.saveNow();
    instance->statistics.saveNow();
    EXPECT_EQ(inode(), written);
    instance->statistics.recordRequest();
    instance->statistics.saveNow();
    EXPECT_NE(inode(), written);
    EXPECT_EQ(stored("stats_totalRequests").toInt(), 2);
}

TEST_F(Statistics, TotalsContinueAfterARestartWhileSessionCountersStartAgain)
{
    {
        auto first = start();
        first->statistics.startSession();
        for (int i = 0; i < 3; ++i)
            first->statistics.recordRequest();
        first->statistics.recordToolCall(QStringLiteral("read_file"), 0.5, true);
        first->statistics.saveNow();
    }
    auto second = start();
    StatisticsManager& statistics = second->statistics;
    EXPECT_EQ(statistics.totalRequests(), 3);
    EXPECT_EQ(statistics.totalToolCalls(), 1);
    EXPECT_EQ(statistics.sessionRequests(), 0);
    EXPECT_EQ(statistics.sessionToolCalls(), 0);
    EXPECT_EQ(statistics.statistics().toolUsage.value(QStringLiteral("read_file")).callCount, 1);
    EXPECT_TRUE(statistics.statistics().recentCalls.isEmpty());
    statistics.recordRequest();
    EXPECT_EQ(statistics.totalRequests(), 4);
    EXPECT_EQ(statistics.sessionRequests(), 1);
}

TEST_F(Statistics, CountsEachToolsCallsAndFailuresFromTheFirstCall)
{
    auto instance = start();
    StatisticsManager& statistics = instance->statistics;
    EXPECT_DOUBLE_EQ(statistics.successRate(), 1.0);
    statistics.recordToolCall(QStringLiteral("read_file"), 0.25, true);
    EXPECT_EQ(statistics.statistics().toolUsage.value(QStringLiteral("read_file")).successCount, 1);
    clock.advance(1000);
    statistics.recordToolCall(QStringLiteral("read_file"), 0.75, false);
    const ToolUsage usage = statistics.statistics().toolUsage.value(QStringLiteral("read_file"));
    EXPECT_EQ((std::tuple{usage.callCount, usage.successCount, usage.failureCount}), (std::tuple{2, 1, 1}));
    EXPECT_DOUBLE_EQ(usage.averageDuration, 0.5);
    EXPECT_EQ(usage.lastUsed, clock.now());
    EXPECT_EQ(statistics.totalErrors(), 1);
    EXPECT_DOUBLE_EQ(statistics.successRate(), 0.5);

    // Undecodable calls are errors without a tool call; the rate does not go below 0.
    for (int i = 0; i < 3; ++i)
        statistics.recordError();
    EXPECT_DOUBLE_EQ(statistics.successRate(), 0.0);
}

TEST_F(Statistics, CountCallsOfUnknownToolsOnlyInTheTotalsAndAsErrors)
{
    {
        auto instance = start();
        for (int i = 0; i < 1000; ++i)
            instance->statistics.recordUnknownToolCall(QStringLiteral("made_up_%1_").arg(i) + QString(4000, u'x'), 0.1);
        const ServerStatistics& figures = instance->statistics.statistics();
        EXPECT_TRUE(figures.toolUsage.isEmpty());
        EXPECT_EQ(figures.totalToolCalls, 1000);
        EXPECT_EQ(figures.totalErrors, 1000);
        // The recent calls name it, cut to a log line's length.
        EXPECT_TRUE(figures.recentCalls.front().toolName.startsWith(QStringLiteral("made_up_999_xxx")));
        EXPECT_TRUE(figures.recentCalls.front().toolName.endsWith(QStringLiteral("\u2026 (4012 bytes)")));
        instance->statistics.saveNow();
    }
    EXPECT_LT(QFileInfo(path()).size(), 64 * 1024);
}

TEST_F(Statistics, KeepTheNewestHundredCallsAndFiftyConnectionsAlsoWhenMerged)
{
    auto first = start();
    for (int i = 0; i < 101; ++i)
        first->statistics.recordToolCall(QStringLiteral("tool_%1").arg(i), 0.0, true);
    const auto& calls = first->statistics.statistics().recentCalls;
    ASSERT_EQ(calls.size(), 100);
    EXPECT_EQ(calls.front().toolName, QStringLiteral("tool_100"));
    EXPECT_EQ(calls.back().toolName, QStringLiteral("tool_1"));

    // Forty connections each in two processes sharing the store.
    auto second = start();
    for (int i = 0; i < 40; ++i) {
        for (auto* instance : {first.get(), second.get()}) {
            clock.advance(1000);
            instance->statistics.recordConnection(instance == first.get() ? QStringLiteral("first") : QStringLiteral("second"),
                                                  QString::number(i));
        }
    }
    EXPECT_EQ(first->statistics.statistics().connectionHistory.size(), 40);
    first->statistics.saveNow();
    second->statistics.saveNow();
    const auto& history = second->statistics.statistics().connectionHistory;
    ASSERT_EQ(history.size(), 50);
    EXPECT_EQ(history.front().clientName + history.front().clientVersion, QStringLiteral("second39"));
    EXPECT_EQ(history.back().clientName + history.back().clientVersion, QStringLiteral("first15"));
}

TEST_F(Statistics, KeepAClientsNameAndVersionCutToALogLinesLength)
{
    const QString name = QStringLiteral("hostile ") + QString(1024 * 1024, u'n');
    const QString version = QString(1024 * 1024, u'9');
    {
        auto instance = start();
        for (int i = 0; i < StatisticsManager::kMaxConnections; ++i)
            instance->statistics.recordConnection(name, version);
        const ConnectionRecord& newest = instance->statistics.statistics().connectionHistory.front();
        EXPECT_TRUE(newest.clientName.startsWith(QStringLiteral("hostile nnn")));
        EXPECT_TRUE(newest.clientName.endsWith(QStringLiteral("\u2026 (1048584 bytes)")));
        EXPECT_TRUE(newest.clientVersion.endsWith(QStringLiteral("\u2026 (1048576 bytes)")));
        instance->statistics.saveNow();
    }
    EXPECT_LT(QFileInfo(path()).size(), 256 * 1024);
    auto reloaded = start();
    ASSERT_EQ(reloaded->statistics.statistics().connectionHistory.size(), StatisticsManager::kMaxConnections);
    EXPECT_EQ(reloaded->statistics.statistics().connectionHistory.back().clientName, Log::clip(name));
}

TEST_F(Statistics, TheTimerSavesOnlyWhenSomethingChangedInTheSharedFormat)
{
    auto instance = start();
    instance->statistics.startSession();
    instance->statistics.saveIfNeeded();
    EXPECT_TRUE(QSettings(path(), QSettings::IniFormat).allKeys().isEmpty());

    // Upper-case UUIDs and times in seconds from 2001-01-01, as the other writers of the file expect.
    instance->statistics.recordRequest();
    instance->statistics.recordConnection(QStringLiteral("Claude Desktop"), QStringLiteral("0.7.1"));
    instance->statistics.recordToolCall(QStringLiteral("list_directory"), 0.125, false);
    instance->statistics.saveIfNeeded();
    EXPECT_FALSE(instance->statistics.needsSave());
    EXPECT_EQ(stored("stats_totalRequests").toInt(), 1);
    const QUuid id = instance->statistics.statistics().connectionHistory.front().id;
    EXPECT_EQ(storedJson("stats_connectionHistory"),
              Json::array({{{"id", id.toString(QUuid::WithoutBraces).toUpper().toStdString()},
                            {"clientName", "Claude Desktop"},
                            {"clientVersion", "0.7.1"},
                            {"timestamp", 818100413.0}}}));
    EXPECT_EQ(storedJson("stats_toolUsage"),
              Json::parse(R"([{"name":"list_directory","callCount":1,"successCount":0,"failureCount":1,)"
                          R"("totalDuration":0.125,"averageDuration":0.125,"lastUsed":818100413.0}])"));
}

TEST_F(Statistics, ASaveTheStoreCannotTakeNowIsKeptAndMadeByTheNextRound)
{
    auto instance = start();
    const QString lockFolder = path() + QStringLiteral(".update-lock");
    ASSERT_TRUE(QDir().mkdir(lockFolder));
    instance->statistics.recordRequest();
    instance->statistics.saveIfNeeded();
    EXPECT_TRUE(instance->statistics.needsSave());
    EXPECT_FALSE(stored("stats_totalRequests").isValid());

    ASSERT_TRUE(QDir().rmdir(lockFolder));
    instance->statistics.recordRequest();
    instance->statistics.saveIfNeeded();
    EXPECT_FALSE(instance->statistics.needsSave());
    EXPECT_EQ(stored("stats_totalRequests").toInt(), 2);
    EXPECT_EQ(instance->statistics.totalRequests(), 2);
}

TEST_F(Statistics, ResetRemovesTheSixStoredKeys)
{
    auto instance = start();
    StatisticsManager& statistics = instance->statistics;
    statistics.startSession();
    statistics.recordRequest();
    statistics.recordConnection(QStringLiteral("client"), QStringLiteral("1"));
    statistics.recordToolCall(QStringLiteral("read_file"), 0.1, true);
    clock.advance(5000);
    statistics.endSession();

    clock.advance(1000);
    statistics.resetStatistics();
    EXPECT_FALSE(statistics.needsSave());
    EXPECT_EQ(statistics.sessionStartTime(), clock.now());
    EXPECT_EQ(QSettings(path(), QSettings::IniFormat).allKeys(), QStringList());
    statistics.load();
    EXPECT_EQ(statistics.totalRequests(), 0);
    EXPECT_EQ(statistics.totalUptime(), 0.0);
    EXPECT_TRUE(statistics.statistics().toolUsage.isEmpty());
}

TEST_F(Statistics, ExportsTheLifetimeFiguresAsIndentedJsonWithIsoDates)
{
    auto instance = start();
    const QString empty = *instance->statistics.exportStatistics();
    EXPECT_TRUE(empty.contains(QStringLiteral("\n  \"statistics\" : {"))) << empty.toStdString();
    const Json document = Json::parse(empty.toStdString());
    EXPECT_EQ(document["version"], "1.0.1");
    EXPECT_EQ(document["statistics"]["totalRequests"], 0);
    // The same moment as the clock's, read back by a parser of ISO 8601 with its offset.
    const QString exported = QString::fromStdString(document["exportDate"].get<std::string>());
    EXPECT_EQ(QDateTime::fromString(exported, Qt::ISODateWithMs), clock.now()) << exported.toStdString();
    EXPECT_TRUE(exported.contains(QRegularExpression(QStringLiteral(R"(T\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)")))) << exported.toStdString();

    instance->statistics.recordConnection(QStringLiteral("a/b"), QStringLiteral("2"));
    instance->statistics.recordToolCall(QStringLiteral("read_file"), 2.0, true);
    const Json used = Json::parse(instance->statistics.exportStatistics()->toStdString());
    EXPECT_EQ(used["statistics"]["toolUsage"][0]["name"], "read_file");
    EXPECT_EQ(used["statistics"]["connectionHistory"][0]["clientName"], "a/b");
    for (const std::string& moment : {used["statistics"]["toolUsage"][0]["lastUsed"].get<std::string>(),
                                      used["statistics"]["connectionHistory"][0]["timestamp"].get<std::string>()})
        EXPECT_EQ(QDateTime::fromString(QString::fromStdString(moment), Qt::ISODateWithMs), clock.now()) << moment;
}

TEST_F(Statistics, UptimeCountsTheTimeAtLeastOneProcessServedOnce)
{
    std::vector<std::unique_ptr<Instance>> processes;
    for (int i = 0; i < 3; ++i)
        processes.push_back(start());
    // Three processes serving the same minute, ending one after another.
    for (auto& process : processes)
        process->statistics.startSession();
    clock.advance(60000);
    for (auto& process : processes)
        process->statistics.endSession();
    EXPECT_DOUBLE_EQ(stored("stats_totalUptime").toDouble(), 60.0);

    // One long session with a short one inside it that ends first, and a save in between.
    auto& longer = processes[0]->statistics;
    auto& shorter = processes[1]->statistics;
    longer.startSession();
    clock.advance(10000);
    shorter.startSession();
    clock.advance(5000);
    shorter.endSession();
    clock.advance(15000);
    longer.saveNow();
    clock.advance(30000);
    longer.endSession();
    EXPECT_DOUBLE_EQ(stored("stats_totalUptime").toDouble(), 120.0);
    // A gap with nobody serving does not count; the next session adds its own time.
    clock.advance(100000);
    processes[2]->statistics.startSession();
    clock.advance(7000);
    processes[2]->statistics.endSession();
    EXPECT_DOUBLE_EQ(stored("stats_totalUptime").toDouble(), 127.0);
    EXPECT_DOUBLE_EQ(start()->statistics.totalUptime(), 127.0);
}

TEST_F(Statistics, ADamagedFileLoadsWhatItCanAndIsWrittenSoundAgain)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // A usage entry without "lastUsed" makes the whole list unreadable; the counters still load.
    file.write("[General]\nstats_totalRequests=7\nstats_totalToolCalls=4\nstats_totalErrors=1\nstats_totalUptime=12.5\n"
               "stats_toolUsage=\"@ByteArray([{\\\"name\\\":\\\"read_file\\\",\\\"callCount\\\":4,\\\"successCount\\\":3,"
               "\\\"failureCount\\\":1,\\\"totalDuration\\\":1.0,\\\"averageDuration\\\":0.25}])\"\n"
               "stats_connectionHistory=@ByteArray(not json)\n"
               "\xff\xfe binary noise\n[unterminated\n");
    file.close();
    auto instance = start();
    StatisticsManager& statistics = instance->statistics;
    EXPECT_EQ(statistics.totalRequests(), 7);
    EXPECT_EQ(statistics.totalToolCalls(), 4);
    EXPECT_EQ(statistics.totalErrors(), 1);
    EXPECT_DOUBLE_EQ(statistics.totalUptime(), 12.5);
    EXPECT_TRUE(statistics.statistics().toolUsage.isEmpty());
    EXPECT_TRUE(statistics.statistics().connectionHistory.isEmpty());

    statistics.recordToolCall(QStringLiteral("write_file"), 0.5, true);
    statistics.saveNow();
    EXPECT_EQ(QSettings(path(), QSettings::IniFormat).status(), QSettings::NoError);
    EXPECT_EQ(storedJson("stats_toolUsage")[0]["name"], "write_file");
    EXPECT_EQ(storedJson("stats_connectionHistory"), Json::array());
    EXPECT_EQ(stored("stats_totalToolCalls").toInt(), 5);
}

TEST_F(Statistics, TwoWritersSharingTheStoreLoseNothing)
{
    auto desktop = start();
    auto client = start();
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 3; ++i)
            desktop->statistics.recordRequest();
        desktop->statistics.recordToolCall(QStringLiteral("read_file"), 1.0, true);
        clock.advance(1000);
        client->statistics.recordRequest();
        client->statistics.recordToolCall(QStringLiteral("read_file"), 3.0, false);
        client->statistics.recordToolCall(QStringLiteral("execute_command"), 2.0, true);
        client->statistics.recordConnection(QStringLiteral("client"), QString::number(round));
        clock.advance(1000);
        desktop->statistics.recordConnection(QStringLiteral("desktop"), QString::number(round));
        // Interleaved saves, and a save with nothing new in between.
        desktop->statistics.saveIfNeeded();
        client->statistics.saveIfNeeded();
        desktop->statistics.saveNow();
    }

    auto later = start();
    const StatisticsManager& merged = later->statistics;
    EXPECT_EQ(merged.totalRequests(), 5 * 4);
    EXPECT_EQ(merged.totalToolCalls(), 5 * 3);
    EXPECT_EQ(merged.totalErrors(), 5);
    const ToolUsage readFile = merged.statistics().toolUsage.value(QStringLiteral("read_file"));
    EXPECT_EQ((std::tuple{readFile.callCount, readFile.successCount, readFile.failureCount}), (std::tuple{10, 5, 5}));
    EXPECT_DOUBLE_EQ(readFile.averageDuration, 2.0);
    EXPECT_EQ(merged.statistics().toolUsage.value(QStringLiteral("execute_command")).callCount, 5);
    QStringList connections;
    for (const ConnectionRecord& connection : merged.statistics().connectionHistory)
        connections << connection.clientName + connection.clientVersion;
    EXPECT_EQ(connections.join(u' '),
              QStringLiteral("desktop4 client4 desktop3 client3 desktop2 client2 desktop1 client1 desktop0 client0"));
    // Each writer shows the combined figures after its save.
    EXPECT_EQ(client->statistics.totalRequests(), 5 * 4);
}

} // namespace

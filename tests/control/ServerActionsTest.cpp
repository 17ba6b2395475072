#include "control/ServerActions.h"

#include <gtest/gtest.h>

#include <QTimeZone>

using namespace ServerActions;

namespace {

struct ToggleCase {
    ServerAction action;
    qsizetype running;
    qsizetype stopped;
    std::optional<bool> setRunning;
    const char* dialog;
};

TEST(ServerActions, ToggleDecidesAndAnswersForEveryActionAndState)
{
    const ToggleCase cases[] = {
        {ServerAction::Start, 0, 2, true, "Zarnel server started successfully"},
        {ServerAction::Start, 2, 0, std::nullopt, "Zarnel server is already running"},
        {ServerAction::Stop, 2, 0, false, "Zarnel server stopped"},
        {ServerAction::Stop, 0, 1, std::nullopt, "Zarnel server is not running"},
        {ServerAction::Toggle, 0, 1, true, "Zarnel server started"},
        {ServerAction::Toggle, 1, 0, false, "Zarnel server stopped"},
        // Some processes run and others do not: Zarnel runs, and a start starts the others.
        {ServerAction::Start, 2, 1, true, "Zarnel server started successfully in 1 stopped process (already running in 2)"},
        {ServerAction::Start, 1, 3, true, "Zarnel server started successfully in 3 stopped processes (already running in 1)"},
        {ServerAction::Stop, 1, 3, false, "Zarnel server stopped"},
        {ServerAction::Toggle, 1, 3, false, "Zarnel server stopped"},
    };
    for (const ToggleCase& c : cases) {
        const ToggleDecision decision = toggleServer(c.action, c.running, c.stopped);
        EXPECT_EQ(decision.setRunning, c.setRunning) << c.dialog;
        EXPECT_EQ(decision.dialog.toStdString(), c.dialog);
    }
    EXPECT_EQ(serverActionFromName("toggle"), ServerAction::Toggle);
    EXPECT_FALSE(serverActionFromName("Start"));
}

TEST(ServerActions, StatusTextsAndEntity)
{
    const ActionResult running = serverStatus({true, 2, 15, 4, {}, {}});
    EXPECT_EQ(running.dialog.toStdString(), "Zarnel server is running with 2 connections. Total: 15 requests, 4 tool calls.");
    EXPECT_EQ(running.value["isRunning"], true);
    EXPECT_EQ(running.value["connectionCount"], 2);
    EXPECT_EQ(running.value["totalRequests"], 15);
    EXPECT_EQ(running.value["totalToolCalls"], 4);
    EXPECT_EQ(running.value["id"].get<std::string>().size(), 36u);
    EXPECT_NE(running.value["id"], serverStatus({true, 2, 15, 4, {}, {}}).value["id"]);
    // Every count agrees with its noun.
    EXPECT_EQ(serverStatus({true, 1, 1, 1, {}, {}}).dialog.toStdString(),
              "Zarnel server is running with 1 connection. Total: 1 request, 1 tool call.");
    EXPECT_EQ(serverStatus({false, 0, 1, 0, {}, {}}).dialog.toStdString(),
              "Zarnel server is stopped. Total statistics: 1 request, 0 tool calls.");
    EXPECT_EQ(exportActivityLog(ExportFormat::Json,
                                {{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), QStringLiteral("one"), LogType::Info}},
                                QDateTime::currentDateTimeUtc())
                  .dialog.toStdString(),
              "Exported 1 log entry as JSON");

    const ActionResult stopped = serverStatus({false, 0, 1234567890123, 0, {}, {}});
    EXPECT_EQ(stopped.dialog.toStdString(), "Zarnel server is stopped. Total statistics: 1234567890123 requests, 0 tool calls.");
}

TEST(ServerActions, StatusNamesTheClientsThatWait)
{
    const ActionResult one = serverStatus({false, 0, 3, 0, {}, {QStringLiteral("Claude Code")}});
    EXPECT_EQ(one.dialog.toStdString(),
              "Zarnel server is stopped; 1 client waiting (Claude Code). Total statistics: 3 requests, 0 tool calls.");
    EXPECT_EQ(one.value["waitingClients"], Json::array({"Claude Code"}));
    // A client that has not said who it is counts, unnamed.
    EXPECT_EQ(waitingText({QStringLiteral("Claude Code"), QString(), QStringLiteral("Cursor")}).toStdString(),
              "3 clients waiting (Claude Code, Cursor)");
    EXPECT_EQ(waitingText({QString()}).toStdString(), "1 client waiting");
    EXPECT_EQ(serverStatus({false, 0, 0, 0, {}, {}}).value["waitingClients"], Json::array());
}

TEST(ServerActions, WithNoProcessAnActionSetsWhatLaterProcessesDo)
{
    EXPECT_TRUE(chooseForLaterProcesses(ServerAction::Start, false).start);
    EXPECT_FALSE(chooseForLaterProcesses(ServerAction::Stop, true).start);
    // A toggle turns over what a process starting now would do.
    EXPECT_FALSE(chooseForLaterProcesses(ServerAction::Toggle, true).start);
    EXPECT_TRUE(chooseForLaterProcesses(ServerAction::Toggle, false).start);
    EXPECT_EQ(chooseForLaterProcesses(ServerAction::Stop, true).dialog.toStdString(),
              "No Zarnel process is running: the clients that start Zarnel from now on will wait until it is started");
}

TEST(ServerActions, StatisticsTextHasFiveLines)
{
    const ActionResult result = statistics({10, 4, 1, 0.75, 0.123456});
    EXPECT_EQ(result.dialog.toStdString(),
              "Zarnel Statistics:\n• Requests: 10\n• Tool Calls: 4\n• Success Rate: 75.0%\n• Avg Response: 0.12s");
    EXPECT_EQ(result.value["totalErrors"], 1);
    EXPECT_DOUBLE_EQ(result.value["successRate"].get<double>(), 0.75);
    // A rate below zero is shown as it is, not clamped.
    EXPECT_TRUE(statistics({0, 2, 5, -1.5, 0}).dialog.contains("• Success Rate: -150.0%"));
}

TEST(ServerActions, UptimeIsFormattedByItsLargestUnit)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0m"},          {59.9, "0m"},        {60, "1m"},          {3599, "59m"},           {3600, "1h 0m"},
        {86399, "23h 59m"}, {86400, "1d 0h 0m"}, {90061, "1d 1h 1m"}, {864000.5, "10d 0h 0m"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(uptimeText(seconds).toStdString(), text) << seconds;
    const ActionResult result = uptime(3600);
    EXPECT_EQ(result.dialog.toStdString(), "Total uptime: 1h 0m");
    EXPECT_EQ(result.value, "1h 0m");
    // A hand-edited store may hold anything; the text stays a text.
    EXPECT_EQ(uptimeText(std::numeric_limits<double>::quiet_NaN()).toStdString(), "0m");
    EXPECT_EQ(uptimeText(-3700).toStdString(), "0m");
    EXPECT_FALSE(uptimeText(1e300).isEmpty());
    EXPECT_EQ(percentText(0.9166).toStdString(), "91.7%");
    EXPECT_EQ(percentText(1.0).toStdString(), "100.0%");
}

TEST(ServerActions, ConnectionCountUsesTheSingularForOne)
{
    const std::pair<qint64, const char*> cases[] = {{0, "0 active connections"}, {1, "1 active connection"}, {2, "2 active connections"}};
    for (const auto& [count, text] : cases) {
        const ActionResult result = connectionCount(count);
        EXPECT_EQ(result.dialog.toStdString(), text);
        EXPECT_EQ(result.value, count);
    }
}

TEST(ServerActions, ResetAndClearNeedConfirmation)
{
    EXPECT_EQ(resetStatistics(false).failure, QStringLiteral("Please confirm to reset statistics"));
    EXPECT_EQ(resetStatistics(true).dialog.toStdString(), "All statistics have been reset");
    EXPECT_FALSE(resetStatistics(true).failure);
    EXPECT_EQ(clearActivityLog(false, 5).failure, QStringLiteral("Please confirm to clear the activity log"));
    EXPECT_EQ(clearActivityLog(true, 7).dialog.toStdString(), "Cleared 7 activity log entries");
}

TEST(ServerActions, ExportsNameTheirFilesAndCountWhatTheyHold)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1796611972500, QTimeZone::utc());
    const ActionResult statistics = exportStatistics(QStringLiteral("{\"x\":1}"), 3, 2, now);
    ASSERT_TRUE(statistics.file);
    EXPECT_EQ(statistics.file->suggestedName.toStdString(), "zarnel-statistics-1796611972.5.json");
    EXPECT_EQ(statistics.file->contents, "{\"x\":1}");
    EXPECT_EQ(statistics.dialog.toStdString(), "Exported statistics: 3 requests, 2 tool calls");
    EXPECT_EQ(exportStatistics(std::nullopt, 0, 0, now).failure, QStringLiteral("Failed to generate statistics export"));

    const ActionResult emptyText = exportActivityLog(ExportFormat::Text, {}, now);
    EXPECT_EQ(emptyText.dialog.toStdString(), "Exported 0 log entries as Text");
    EXPECT_EQ(emptyText.file->suggestedName.toStdString(), "zarnel-activity-log-1796611972.5.txt");
    EXPECT_TRUE(emptyText.file->contents.endsWith(QByteArray(80, '=') + "\n\n"));
    const ActionResult emptyJson = exportActivityLog(ExportFormat::Json, {}, now);
    EXPECT_EQ(emptyJson.dialog.toStdString(), "Exported 0 log entries as JSON");
    EXPECT_EQ(emptyJson.file->contents, "[]");

    const QList<ActivityLogEntry> two{{QUuid::createUuid(), now, QStringLiteral("newer"), LogType::Error},
                                      {QUuid::createUuid(), now.addSecs(-1), QStringLiteral("older"), LogType::Info}};
    const ActionResult text = exportActivityLog(ExportFormat::Text, two, now);
    EXPECT_EQ(text.dialog.toStdString(), "Exported 2 log entries as Text");
    EXPECT_TRUE(text.file->contents.contains("[2026-12-07 02:52:52 +0000] [error] newer\n"
                                             "[2026-12-07 02:52:51 +0000] [info] older\n"))
        << text.file->contents.constData();
}

} // namespace

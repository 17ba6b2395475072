#include "ui/dashboard/StatisticsPage.h"
#include "platform/QSettingsPreferencesStore.h"
#include "state/StatisticsManager.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/ExportSheet.h"
#include "ui/dashboard/StatusCard.h"
#include "ui/models/StatisticsModels.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

class StatisticsPageTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeClock clock;
    QSettingsPreferencesStore store{dir.filePath("zarnel.conf")};
    StatisticsManager statistics{store, clock};
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    StatisticsPage page{statistics, clipboard, clock};

    QString value(const QString& card) const { return page.card(card)->value(); }
    QString subtitle(const QString& card) const { return page.card(card)->subtitle(); }
};

TEST_F(StatisticsPageTest, AFreshStoreShowsZerosAndTheThreeEmptyStates)
{
    EXPECT_EQ(value("Total Requests"), "0");
    EXPECT_EQ(subtitle("Total Requests"), "Session: 0");
    EXPECT_EQ(value("Success Rate"), "100.0%");
    EXPECT_EQ(subtitle("Success Rate"), "0 errors");
    EXPECT_EQ(value("Avg Response"), "0.00s");
    EXPECT_EQ(subtitle("Avg Response"), "Per tool call");
    EXPECT_EQ(value("Total Uptime"), "0m");
    EXPECT_EQ(page.emptyTitle(page.toolUsage()), "No tools used yet");
    EXPECT_EQ(page.emptyTitle(page.recentCalls()), "No recent calls");
    EXPECT_EQ(page.emptyTitle(page.connections()), "No connections yet");
}

TEST_F(StatisticsPageTest, FollowsTheStoreLiveWithinItsLimits)
{
    statistics.startSession();
    for (int i = 0; i < 20; ++i) {
        statistics.recordRequest();
        statistics.recordToolCall(i % 4 == 0 ? "write_file" : "read_file", 0.5, i % 4 != 0);
    }
    for (int i = 0; i < 12; ++i)
        statistics.recordConnection(QStringLiteral("client %1").arg(i), "1.0");
    EXPECT_EQ(value("Total Requests"), "20");
    EXPECT_EQ(subtitle("Total Requests"), "Session: 20");
    EXPECT_EQ(value("Tool Calls"), "20");
    EXPECT_EQ(value("Success Rate"), "75.0%");
    EXPECT_EQ(subtitle("Success Rate"), "5 errors");
    EXPECT_EQ(value("Avg Response"), "0.50s");
    EXPECT_EQ(page.recentCalls().rowCount(), 15);
    EXPECT_EQ(page.connections().rowCount(), 10);
    EXPECT_EQ(page.connections().index(0, 0).data().toString(), "client 11");
    ASSERT_EQ(page.toolUsage().rowCount(), 2);
    EXPECT_EQ(page.toolUsage().index(0, ToolUsageModel::NameColumn).data().toString(), "read_file");
    EXPECT_EQ(page.toolUsage().index(0, ToolUsageModel::CallsColumn).data().toString(), "15 calls");
    EXPECT_EQ(page.emptyTitle(page.toolUsage()), "");

    clock.advance((26 * 3600 + 5 * 60) * 1000);
    statistics.endSession();
    EXPECT_EQ(value("Total Uptime"), "1d 2h 5m");
}

TEST_F(StatisticsPageTest, ShowsWhatAnotherProcessSavedOnceTheStoreIsReadAgain)
{
    QSettingsPreferencesStore otherStore(dir.filePath("zarnel.conf"));
    StatisticsManager other(otherStore, clock);
    other.recordRequest();
    other.recordToolCall("get_system_info", 0.1, true);
    other.saveNow();
    statistics.load();
    EXPECT_EQ(value("Total Requests"), "1");
    EXPECT_EQ(page.toolUsage().index(0, 0).data().toString(), "get_system_info");
}

TEST_F(StatisticsPageTest, ResetAsksFirstAndKeepsEverythingWhenCancelled)
{
    statistics.recordRequest();
    Dialogs::answerNextConfirmation(false);
    EXPECT_FALSE(page.requestReset());
    EXPECT_EQ(value("Total Requests"), "1");
    Dialogs::answerNextConfirmation(true);
    QTest::mouseClick(page.findChild<QPushButton*>("reset"), Qt::LeftButton);
    EXPECT_EQ(value("Total Requests"), "0");
    EXPECT_FALSE(store.contains("stats_totalRequests"));
}

TEST_F(StatisticsPageTest, ExportSheetShowsTheJsonAndProposesItsName)
{
    statistics.recordRequest();
    ExportSheet* sheet = page.showExport();
    EXPECT_EQ(sheet->windowTitle(), "Export Statistics");
    EXPECT_EQ(sheet->findChild<QLabel*>("subtitle")->text(), "Export your server statistics as JSON");
    EXPECT_EQ(sheet->text(), *statistics.exportStatistics());
    EXPECT_TRUE(sheet->text().contains("\"totalRequests\":1"));
    sheet->copyToClipboard();
    EXPECT_EQ(clipboard->storedText, sheet->text());
    EXPECT_EQ(sheet->statusText(), "✓ Copied to clipboard");
    QTemporaryDir target;
    Dialogs::answerNextSave(target.filePath("statistics.json"));
    sheet->saveToFile();
    EXPECT_EQ(Dialogs::lastProposedFileName(), "zarnel-statistics-1796407613.0.json");
    EXPECT_TRUE(QFile::exists(target.filePath("statistics.json")));
    sheet->close();
}

} // namespace

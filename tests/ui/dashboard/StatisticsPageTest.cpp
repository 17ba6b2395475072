#include "ui/dashboard/StatisticsPage.h"
#include "control/ControlClient.h"
#include "control/ControlServer.h"
#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/processes/Clock.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/StatisticsManager.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"
#include "ui/dashboard/Dashboard.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/ExportSheet.h"
#include "ui/dashboard/StatusCard.h"
#include "ui/models/StatisticsModels.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
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

TEST_F(StatisticsPageTest, ResetAsksFirstAndAsksForNothingWhenCancelled)
{
    QSignalSpy reset(&page, &StatisticsPage::resetRequested);
    Dialogs::answerNextConfirmation(false);
    EXPECT_FALSE(page.requestReset());
    EXPECT_EQ(reset.count(), 0);
    Dialogs::answerNextConfirmation(true);
    QTest::mouseClick(page.findChild<QPushButton*>("reset"), Qt::LeftButton);
    EXPECT_EQ(reset.count(), 1);
}

TEST_F(StatisticsPageTest, ExportSheetShowsTheJsonAndProposesItsName)
{
    statistics.recordRequest();
    ExportSheet* sheet = page.showExport();
    EXPECT_EQ(sheet->windowTitle(), "Export Statistics");
    EXPECT_EQ(sheet->findChild<QLabel*>("subtitle")->text(), "Export your server statistics as JSON");
    EXPECT_EQ(sheet->text(), *statistics.exportStatistics());
    EXPECT_TRUE(sheet->text().contains("\"totalRequests\" : 1"));
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

// This process plays the desktop instance with its dashboard; a client drives a second, headless
// zarnel that shares its statistics store and its control folder.
class StatisticsOfEveryProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        control.setDesktop(true);
        ASSERT_TRUE(control.listen()) << control.problem().toStdString();
        pages = dashboard.createPages();
        page = qobject_cast<StatisticsPage*>(pages.at(1));
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override { qDeleteAll(pages); }

    QString value(const QString& card) const { return page->card(card)->value(); }
    QString subtitle(const QString& card) const { return page->card(card)->subtitle(); }
    QStringList column(const QAbstractItemModel& list) const
    {
        QStringList names;
        for (int row = 0; row < list.rowCount(); ++row)
            names.append(list.index(row, 0).data().toString());
        return names;
    }
    // The other process writes what it recorded to the store now rather than within 5 s.
    void saveInOtherProcess(ZarnelProcess& other)
    {
        ControlClient client;
        ASSERT_TRUE(client.connectTo(folder.socketPath(other.process().processId())));
        ASSERT_TRUE(QCoro::waitFor(client.request("status", Json{{"saveStatistics", true}})).ok);
    }

    TemporaryHome home;
    QSettingsPreferencesStore store{home.preferencesPath()};
    SystemClock clock;
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlFolder folder{home.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/zarnel")};
    ControlServer control{components, folder};
    RunningInstances instances{folder};
    Dashboard dashboard{components, instances, std::make_shared<FakeClipboard>(), {}};
    QList<QWidget*> pages;
    StatisticsPage* page = nullptr;
};

TEST_F(StatisticsOfEveryProcess, AnotherProcesssCallsShowWithinTwoSecondsAndResetClearsBoth)
{
    components.statistics().recordRequest();
    components.statistics().recordToolCall(QStringLiteral("list_directory"), 0.25, true);
    ZarnelProcess second(home);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return instances.processCount() == 2; }, 15000)) << "the second process was not found";
    ASSERT_TRUE(second.initialize());
    ASSERT_TRUE(second.callTool("get_system_info", nlohmann::json::object()));

    // The sessions of both processes, live: newest call first, counters summed.
    EXPECT_TRUE(QTest::qWaitFor([&] { return column(page->recentCalls()).size() == 2; }, 2000));
    EXPECT_EQ(column(page->recentCalls()), (QStringList{"get_system_info", "list_directory"}));
    EXPECT_EQ(subtitle("Tool Calls"), "Session: 2");
    EXPECT_EQ(subtitle("Total Requests"), "Session: 3"); // initialize and tools/call there, one here

    // What the other process saves shows here within 2 s.
    saveInOtherProcess(second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return value("Tool Calls") == "2"; }, 2000));
    EXPECT_EQ(column(page->toolUsage()), (QStringList{"get_system_info", "list_directory"}));
    EXPECT_EQ(column(page->connections()), QStringList{"zarnel-tests"});

    // A call the other process has not saved yet is dropped by the reset, not written back later.
    ASSERT_TRUE(second.callTool("get_system_info", nlohmann::json::object()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return subtitle("Tool Calls") == "Session: 3"; }, 2000));
    Dialogs::answerNextConfirmation(true);
    QTest::mouseClick(page->findChild<QPushButton*>("reset"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return subtitle("Tool Calls") == "Session: 0" && page->emptyTitle(page->recentCalls()) == "No recent calls"; }, 2000));
    EXPECT_EQ(subtitle("Total Requests"), "Session: 0");
    saveInOtherProcess(second);
    QTest::qWait(Dashboard::kStatisticsFollowMs + 500);
    EXPECT_EQ(value("Tool Calls"), "0");
    EXPECT_EQ(value("Total Requests"), "0");
    EXPECT_EQ(page->emptyTitle(page->toolUsage()), "No tools used yet");
    EXPECT_EQ(page->emptyTitle(page->connections()), "No connections yet");
    EXPECT_FALSE(QSettings(home.preferencesPath(), QSettings::IniFormat).contains(QStringLiteral("stats_totalToolCalls")));
}

} // namespace

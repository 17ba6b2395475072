#include "ui/dashboard/ActivityLogPage.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/ExportSheet.h"
#include "ui/models/ActivityLogFilterModel.h"
#include "ui/models/ActivityLogModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ActivityLogPageTest : public ::testing::Test {
protected:
    void add(const QString& message, LogType type, qint64 pid, const QString& client)
    {
        clock.advance(1000);
        log.addEntry(ActivityLogRow{ActivityLogEntry{QUuid::createUuid(), clock.now(), message, type}, pid, client});
    }

    FakeClock clock;
    ActivityLogModel log;
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    ActivityLogPage page{log, clipboard, clock};
};

TEST_F(ActivityLogPageTest, AnEmptyLogSaysNoActivityWhateverTheSearch)
{
    EXPECT_EQ(page.emptyTitle(), "No Activity Yet");
    auto* search = page.findChild<QLineEdit*>();
    EXPECT_EQ(search->placeholderText(), "Search logs...");
    QTest::keyClicks(search, "tool");
    EXPECT_EQ(page.filter().searchText(), "tool");
    EXPECT_EQ(page.emptyTitle(), "No Activity Yet");
}

TEST_F(ActivityLogPageTest, ASearchWithoutMatchSaysSoAndTypingNarrowsTheRows)
{
    add("Request: tools/call", LogType::Request, 10, "first client");
    add("Tool call: read_file", LogType::ToolCall, 20, "second client");
    add("Tool success: read_file", LogType::Success, 20, "second client");
    auto* search = page.findChild<QLineEdit*>();
    QTest::keyClicks(search, "READ");
    EXPECT_EQ(page.filter().rowCount(), 2);
    EXPECT_EQ(page.emptyTitle(), "");
    QTest::keyClicks(search, "x");
    EXPECT_EQ(page.filter().rowCount(), 0);
    EXPECT_EQ(page.emptyTitle(), "No matching logs found");
    // A matching entry arriving during the search replaces the panel with its row.
    add("Tool call: readx", LogType::ToolCall, 10, "first client");
    EXPECT_EQ(page.emptyTitle(), "");
    log.clear();
    EXPECT_EQ(page.emptyTitle(), "No Activity Yet");
}

TEST_F(ActivityLogPageTest, EntriesOfTwoProcessesShareOneLogNewestFirst)
{
    add("Connected: alpha v1", LogType::Info, 10, "alpha");
    add("Connected: beta v2", LogType::Info, 20, "beta");
    add("Tool error: write_file", LogType::Error, 10, "alpha");
    const QAbstractItemModel& rows = page.filter();
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_EQ(rows.index(0, ActivityLogModel::MessageColumn).data().toString(), "Tool error: write_file");
    EXPECT_EQ(rows.index(0, ActivityLogModel::ClientColumn).data().toString(), "alpha");
    EXPECT_EQ(rows.index(1, ActivityLogModel::ClientColumn).data().toString(), "beta");
    EXPECT_EQ(rows.index(2, ActivityLogModel::ClientColumn).data().toString(), "alpha");
}

TEST_F(ActivityLogPageTest, ClearAsksForEveryProcessesLogToBeEmptied)
{
    QSignalSpy cleared(&page, &ActivityLogPage::clearRequested);
    Dialogs::answerNextConfirmation(false);
    QTest::mouseClick(page.findChild<QPushButton*>("clear"), Qt::LeftButton);
    EXPECT_EQ(Dialogs::lastQuestion(), "Clear the activity log of every Zarnel process?");
    EXPECT_EQ(cleared.count(), 0);
    Dialogs::answerNextConfirmation(true);
    QTest::mouseClick(page.findChild<QPushButton*>("clear"), Qt::LeftButton);
    EXPECT_EQ(cleared.count(), 1);
}

TEST_F(ActivityLogPageTest, TheSelectedEntryShowsWholeWithItsReasonInTheDetailPane)
{
    const QString failure = QStringLiteral("Tool error: read_file: File not found: /home/someone/") + QString(300, u'x');
    add(failure, LogType::Error, 10, "alpha");
    add("Tool success: list_directory", LogType::Success, 20, {});
    EXPECT_EQ(page.detailText(), "");
    const QAbstractItemModel& rows = page.filter();
    EXPECT_EQ(rows.index(1, ActivityLogModel::MessageColumn).data(Qt::ToolTipRole).toString(), "<p>" + failure + "</p>");

    auto* table = page.findChild<QAbstractItemView*>();
    table->setCurrentIndex(rows.index(1, ActivityLogModel::MessageColumn));
    const QStringList detail = page.detailText().split('\n');
    ASSERT_EQ(detail.size(), 2);
    EXPECT_TRUE(detail[0].startsWith("error, 2026-")) << detail[0].toStdString();
    EXPECT_TRUE(detail[0].endsWith(", alpha, process 10")) << detail[0].toStdString();
    EXPECT_EQ(detail[1], failure);

    // The pane goes with the selection: a search that hides the row, a cleared log.
    page.setSearchText("no such entry");
    EXPECT_EQ(page.detailText(), "");
    page.setSearchText({});
    table->setCurrentIndex(rows.index(0, ActivityLogModel::MessageColumn));
    EXPECT_TRUE(page.detailText().endsWith("\nTool success: list_directory"));
    log.clear();
    EXPECT_EQ(page.detailText(), "");
}

TEST_F(ActivityLogPageTest, ExportSheetOffersTheWholeLogAsText)
{
    add("Server started", LogType::Info, 10, {});
    add("Request: tools/list", LogType::Request, 10, {});
    ExportSheet* sheet = page.showExport();
    EXPECT_EQ(sheet->windowTitle(), "Export Activity Log");
    EXPECT_EQ(sheet->findChild<QLabel*>("subtitle")->text(), "Export 2 log entries");
    const QStringList lines = sheet->text().split('\n');
    EXPECT_EQ(lines.at(0), "Zarnel Activity Log Export");
    EXPECT_EQ(lines.at(2), "Total Entries: 2");
    EXPECT_EQ(lines.at(5), "[2026-12-04 18:06:55 +0000] [request] Request: tools/list");
    EXPECT_EQ(lines.at(6), "[2026-12-04 18:06:54 +0000] [info] Server started");

    sheet->copyToClipboard();
    EXPECT_EQ(clipboard->storedText, sheet->text());
    EXPECT_EQ(sheet->statusText(), "✓ Copied to clipboard");
    clipboard->available = false;
    sheet->copyToClipboard();
    EXPECT_EQ(sheet->statusText(), "Could not copy to the clipboard: no display");

    QTemporaryDir dir;
    Dialogs::answerNextSave(dir.filePath("log.txt"));
    sheet->saveToFile();
    // Seconds since 1970 of the fake clock's moment, as the shortest decimal.
    EXPECT_EQ(Dialogs::lastProposedFileName(), "zarnel-activity-log-1796407615.0.txt");
    QFile saved(dir.filePath("log.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), sheet->text());
    sheet->close();
}

} // namespace

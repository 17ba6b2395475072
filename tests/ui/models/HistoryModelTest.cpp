#include "ui/models/HistoryModel.h"
#include "state/HistoryStore.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "ui/dashboard/ActivityLogPage.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/HistoryView.h"
#include "ui/models/ActivityLogModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <set>

namespace {

constexpr int kRecords = 100'000;
const char* const kTools[] = {"execute_command", "read_file", "write_file", "list_directory", "search_files"};
const char* const kClients[] = {"desk-assistant", "code-helper"};
// One call a minute up to this moment: about 69 days.
const QDateTime kNewest(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);

// A database of kRecords calls, made once for the suite in one transaction.
class HistoryModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        HistoryStore store(path());
        ASSERT_TRUE(store.open(kNewest).opened);
        QList<HistoryRecord> records;
        records.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            HistoryRecord record;
            record.time = kNewest.addSecs(-60LL * i);
            record.processId = 1000 + i % 3;
            record.clientName = QLatin1String(kClients[i % 2]);
            record.clientVersion = QStringLiteral("1.%1").arg(i % 2);
            record.revision = QStringLiteral("2025-11-25");
            record.tool = QLatin1String(kTools[i % 5]);
            record.arguments = QStringLiteral("{\"path\":\"/home/user/file-%1.txt\"}").arg(i);
            record.outcome = i % 11 == 0 ? QStringLiteral("error") : QStringLiteral("ok");
            record.errorText = i % 11 == 0 ? QStringLiteral("File not found") : QString();
            record.durationMs = 0.5 + i % 7;
            records.append(record);
        }
        ASSERT_EQ(store.append(records), HistoryStore::Write::Written);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path() { return s_dir->path() + QStringLiteral("/zarnel/history.sqlite"); }

    static QTemporaryDir* s_dir;
};
QTemporaryDir* HistoryModelTest::s_dir = nullptr;

TEST_F(HistoryModelTest, ReadsAPageAtATimeNewestFirstWithoutGapsOrRepeats)
{
    HistoryModel model(path(), kNewest);
    EXPECT_EQ(model.rowCount(), HistoryModel::kPageSize);
    EXPECT_EQ(model.matchingCount(), kRecords);
    // The tester fetches more pages itself, as a view does.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.data(model.index(0, HistoryModel::Arguments)).toString(), QStringLiteral("path=/home/user/file-0.txt"));
    EXPECT_EQ(model.data(model.index(0, HistoryModel::Client)).toString(), QStringLiteral("desk-assistant 1.0"));
    const int before = model.rowCount();
    for (int page = 0; page < 4 && model.canFetchMore({}); ++page)
        model.fetchMore({});
    ASSERT_EQ(model.rowCount(), before + 4 * HistoryModel::kPageSize);
    for (int row = 0; row < model.rowCount(); ++row)
        ASSERT_EQ(model.recordAt(row).time, kNewest.addSecs(-60LL * row)) << row;
}

TEST_F(HistoryModelTest, FiltersReachEveryMatchingCallToTheLastPage)
{
    HistoryModel model(path(), kNewest);
    HistoryFilter filter;
    filter.tool = QStringLiteral("write_file");
    filter.errorsOnly = true;
    filter.since = kNewest.addDays(-30);
    model.setFilter(filter);
    // Calls i with i % 5 == 2 and i % 11 == 0 (i ≡ 22 mod 55) in the last 30 days (i ≤ 43200).
    const qint64 expected = 43200 / 55 + 1;
    EXPECT_EQ(model.matchingCount(), expected);
    while (model.canFetchMore({}))
        model.fetchMore({});
    ASSERT_EQ(model.rowCount(), expected);
    std::set<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row) {
        const HistoryRecord& record = model.recordAt(row);
        EXPECT_EQ(record.tool, QStringLiteral("write_file"));
        EXPECT_EQ(record.outcome, QStringLiteral("error"));
        EXPECT_GE(record.time, *filter.since);
        ids.insert(record.id);
    }
    EXPECT_EQ(ids.size(), std::size_t(expected));
}

TEST_F(HistoryModelTest, TheViewFiltersShowsTheSelectedCallAndExportsWhatMatches)
{
    FakeClock clock(kNewest);
    ActivityLogModel log;
    ActivityLogPage page(log, std::make_shared<FakeClipboard>(), clock, path());
    page.resize(1100, 700);
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("showHistory")), Qt::LeftButton);
    HistoryView* view = page.historyView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisibleTo(&page));
    EXPECT_EQ(view->statusText(), QStringLiteral("100000 calls"));

    auto* tool = view->findChild<QComboBox*>(QStringLiteral("tool"));
    tool->setCurrentIndex(tool->findText(QStringLiteral("read_file")));
    view->findChild<QCheckBox*>(QStringLiteral("errorsOnly"))->setChecked(true);
    auto* from = view->findChild<QDateEdit*>(QStringLiteral("from"));
    auto* to = view->findChild<QDateEdit*>(QStringLiteral("to"));
    from->setDate(kNewest.toLocalTime().date().addDays(-1));
    to->setDate(kNewest.toLocalTime().date().addDays(-1));
    EXPECT_NE(view->statusText(), QStringLiteral("100000 calls"));
    const qint64 matching = view->model().matchingCount();
    EXPECT_GT(matching, 0);
    EXPECT_LT(matching, 30); // one day of read_file errors: a call in 55 of 1440 minutes

    auto* table = view->findChild<QTableView*>();
    table->selectRow(0);
    const HistoryRecord& first = view->model().recordAt(0);
    EXPECT_TRUE(view->detailText().contains(QStringLiteral("\"error\": \"File not found\""))) << view->detailText().toStdString();
    EXPECT_TRUE(view->detailText().contains(first.arguments.mid(9, 20)));

    QTemporaryDir out;
    const QString exported = out.filePath(QStringLiteral("calls.jsonl"));
    Dialogs::answerNextSave(exported);
    QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("exportHistory")), Qt::LeftButton);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), matching);
    for (const QByteArray& line : lines) {
        const Json record = Json::parse(line.toStdString());
        EXPECT_EQ(record["tool"], "read_file");
        EXPECT_EQ(record["outcome"], "error");
    }

    // For people to look at; nothing is compared with it.
    from->setDate(QDate(2000, 1, 1));
    to->setDate(QDate(2000, 1, 1));
    view->findChild<QCheckBox*>(QStringLiteral("errorsOnly"))->setChecked(false);
    tool->setCurrentIndex(0);
    table->selectRow(2);
    QDir().mkpath(QStringLiteral(ZARNEL_BUILD_DIR "/screenshots"));
    page.grab().save(QStringLiteral(ZARNEL_BUILD_DIR "/screenshots/activity-log-history.png"));

    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("showLive")), Qt::LeftButton);
    EXPECT_FALSE(view->isVisibleTo(&page));
}

} // namespace

TEST(HistoryKeptDays, OpeningTheHistoryRemovesWhatIsOlderThanTheDaysItKeeps)
{
    // No process has written since the setting was lowered: reading is where the old calls
    // would show, so they go when the history is opened.
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/history.sqlite");
    {
        HistoryStore store(path);
        ASSERT_TRUE(store.open(kNewest).opened);
        QList<HistoryRecord> records;
        for (const int days : {0, 6, 8, 40}) {
            HistoryRecord record;
            record.time = kNewest.addDays(-days);
            record.tool = QStringLiteral("read_file");
            record.outcome = QStringLiteral("ok");
            records.append(record);
        }
        ASSERT_EQ(store.append(records), HistoryStore::Write::Written);
    }
    EXPECT_EQ(HistoryModel(path, kNewest, 0).rowCount(), 4);
    EXPECT_EQ(HistoryModel(path, kNewest, 7).rowCount(), 2);
    HistoryStore reader(path);
    ASSERT_TRUE(reader.open(kNewest).opened);
    EXPECT_EQ(reader.find({}, 10).size(), 2);
}

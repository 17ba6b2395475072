#include "ui/models/ActivityLogModel.h"
#include "ui/models/ActivityLogFilterModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QLocale>
#include <QSignalSpy>

namespace {

ActivityLogRow row(const QString& message, LogType type = LogType::Info, qint64 pid = 100, const QString& client = {})
{
    static int seconds = 0;
    const QDateTime when = QDateTime(QDate(2026, 12, 4), QTime(18, 0), Qt::UTC).addSecs(++seconds);
    return ActivityLogRow{ActivityLogEntry{QUuid::createUuid(), when, message, type}, pid, client};
}

QStringList messages(const QAbstractItemModel& model)
{
    QStringList texts;
    for (int i = 0; i < model.rowCount(); ++i)
        texts << model.index(i, ActivityLogModel::MessageColumn).data().toString();
    return texts;
}

class ActivityLogModelTest : public ::testing::Test {
protected:
    ActivityLogModel log;
    ActivityLogFilterModel filter;
    QAbstractItemModelTester logTester{&log, QAbstractItemModelTester::FailureReportingMode::Fatal};
    void SetUp() override { filter.setSourceModel(&log); }
    QAbstractItemModelTester filterTester{&filter, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(ActivityLogModelTest, ShowsNewEntriesAtTheTopWithTheirProcessAndClient)
{
    log.setEntries({row("Server started", LogType::Info, 100)});
    QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
    log.addEntry(row("Tool call: read_file", LogType::ToolCall, 200, "claude-ai"));

    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 0);
    EXPECT_EQ(messages(log), (QStringList{"Tool call: read_file", "Server started"}));
    EXPECT_EQ(log.index(0, ActivityLogModel::ClientColumn).data().toString(), "claude-ai");
    EXPECT_EQ(log.index(0, 0).data(ActivityLogModel::PidRole).toLongLong(), 200);
    // An entry of a process without a client names the process.
    EXPECT_EQ(log.index(1, ActivityLogModel::ClientColumn).data().toString(), "process 100");
    EXPECT_EQ(log.index(0, 0).data(ActivityLogModel::TypeRole).toInt(), static_cast<int>(LogType::ToolCall));
    EXPECT_FALSE(log.index(0, ActivityLogModel::TimeColumn).data(Qt::DecorationRole).value<QIcon>().isNull());
}

TEST_F(ActivityLogModelTest, KeepsOnlyTheNewestRowsOfItsCapacity)
{
    ActivityLogModel recent(10);
    QAbstractItemModelTester tester(&recent, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<ActivityLogRow> rows;
    for (int i = 12; i >= 1; --i)
        rows << row(QStringLiteral("entry %1").arg(i));
    recent.setEntries(rows);
    EXPECT_EQ(recent.rowCount(), 10);
    EXPECT_EQ(recent.index(0, ActivityLogModel::MessageColumn).data().toString(), "entry 12");

    recent.addEntry(row("entry 13"));
    EXPECT_EQ(recent.rowCount(), 10);
    EXPECT_EQ(recent.index(0, ActivityLogModel::MessageColumn).data().toString(), "entry 13");
    EXPECT_EQ(recent.index(9, ActivityLogModel::MessageColumn).data().toString(), "entry 4");

    recent.setCapacity(3);
    EXPECT_EQ(messages(recent), (QStringList{"entry 13", "entry 12", "entry 11"}));
}

TEST_F(ActivityLogModelTest, GivesEveryTypeItsOwnSymbolAndColour)
{
    const QList<LogType> types{LogType::Info, LogType::Request, LogType::ToolCall, LogType::Success, LogType::Error};
    const QStringList symbols{"info.circle.fill", "arrow.down.circle.fill", "wrench.and.screwdriver.fill", "checkmark.circle.fill",
                              "exclamationmark.triangle.fill"};
    QSet<QRgb> colours;
    for (int i = 0; i < types.size(); ++i) {
        EXPECT_EQ(ActivityLogModel::symbolName(types.at(i)), symbols.at(i));
        colours.insert(ActivityLogModel::color(types.at(i)).rgb());
    }
    EXPECT_EQ(colours.size(), 5);
    EXPECT_GT(ActivityLogModel::color(LogType::Error).red(), ActivityLogModel::color(LogType::Error).blue()); // red
    EXPECT_GT(ActivityLogModel::color(LogType::Info).blue(), ActivityLogModel::color(LogType::Info).red());   // blue
    // A call is news of neither kind: no warning colour.
    EXPECT_LT(ActivityLogModel::color(LogType::ToolCall).hsvSaturationF(), 0.3);
}

TEST_F(ActivityLogModelTest, SearchKeepsMessagesContainingTheTextInAnyCase)
{
    log.setEntries({row("Tool call: READ_file"), row("Request: tools/list", LogType::Request), row("Tool success: read_file")});
    filter.setSearchText("Read_File");
    EXPECT_EQ(messages(filter), (QStringList{"Tool call: READ_file", "Tool success: read_file"}));
    EXPECT_EQ(filter.emptyState(), ActivityLogFilterModel::EmptyState::None);

    // A new entry that matches appears while the search stands; one that does not stays hidden.
    log.addEntry(row("Tool error: read_file", LogType::Error));
    log.addEntry(row("Server stopped"));
    EXPECT_EQ(filter.rowCount(), 3);
    EXPECT_EQ(filter.index(0, ActivityLogModel::MessageColumn).data().toString(), "Tool error: read_file");

    filter.setSearchText({});
    EXPECT_EQ(filter.rowCount(), 5);
}

TEST_F(ActivityLogModelTest, NoMatchIsToldApartFromAnEmptyLog)
{
    filter.setSearchText("anything");
    EXPECT_EQ(filter.emptyState(), ActivityLogFilterModel::EmptyState::NoActivity);
    filter.setSearchText({});
    EXPECT_EQ(filter.emptyState(), ActivityLogFilterModel::EmptyState::NoActivity);

    log.addEntry(row("Server started"));
    filter.setSearchText("zzz");
    EXPECT_EQ(filter.emptyState(), ActivityLogFilterModel::EmptyState::NoMatch);

    log.clear();
    EXPECT_EQ(filter.emptyState(), ActivityLogFilterModel::EmptyState::NoActivity);
}

TEST_F(ActivityLogModelTest, SearchFoldsCaseByTheUsersLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    ActivityLogModel turkish;
    ActivityLogFilterModel search;
    search.setSourceModel(&turkish);
    turkish.setEntries({row(QStringLiteral("Dosya: İSTANBUL.txt")), row("Connected: client v1")});
    // In Turkish the capital dotted İ lowers to i, and the capital I to the dotless ı.
    search.setSearchText(QStringLiteral("istanbul"));
    EXPECT_EQ(search.rowCount(), 1);
    search.setSearchText(QStringLiteral("CLIENT"));
    EXPECT_EQ(search.rowCount(), 0) << "CLIENT folds to clıent in Turkish";
    search.setSearchText(QStringLiteral("client"));
    EXPECT_EQ(search.rowCount(), 1);
    QLocale::setDefault(previous);
}

} // namespace

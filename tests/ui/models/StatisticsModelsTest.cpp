#include "ui/models/StatisticsModels.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

const QDateTime kNoon(QDate(2026, 12, 4), QTime(12, 0), Qt::UTC);

QList<ToolCallRecord> calls(int count)
{
    QList<ToolCallRecord> records;
    for (int i = 0; i < count; ++i)
        records << ToolCallRecord{QUuid::createUuid(), QStringLiteral("tool_%1").arg(i), kNoon.addSecs(-i), 0.125 * i, i % 3 != 0};
    return records;
}

TEST(StatisticsText, WritesDurationsInSecondsWithTwoDecimals)
{
    EXPECT_EQ(StatisticsText::seconds(0.125), "0.13s");
    EXPECT_EQ(StatisticsText::seconds(0), "0.00s");
}

TEST(RecentCallsModel, ListsAtMostFifteenCallsNewestFirst)
{
    RecentCallsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRecords(calls(100));
    ASSERT_EQ(model.rowCount(), 15);
    EXPECT_EQ(model.index(0, RecentCallsModel::NameColumn).data().toString(), "tool_0");
    EXPECT_EQ(model.index(14, RecentCallsModel::NameColumn).data().toString(), "tool_14");
    EXPECT_EQ(model.index(2, RecentCallsModel::DurationColumn).data().toString(), "0.25s");
    EXPECT_EQ(model.index(0, RecentCallsModel::NameColumn).data(Qt::AccessibleDescriptionRole).toString(), "failed");
    EXPECT_EQ(model.index(1, RecentCallsModel::NameColumn).data(Qt::AccessibleDescriptionRole).toString(), "succeeded");
    EXPECT_FALSE(model.index(0, RecentCallsModel::NameColumn).data(Qt::DecorationRole).value<QIcon>().isNull());
}

TEST(RecentCallsModel, RefreshesRowsInPlaceWhenTheirNumberStays)
{
    RecentCallsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRecords(calls(20));
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QList<ToolCallRecord> newer = calls(20);
    newer.prepend(ToolCallRecord{QUuid::createUuid(), "newest", kNoon.addSecs(5), 1.0, true});
    model.setRecords(newer);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(model.index(0, 0).data().toString(), "newest");

    model.setRecords({});
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(ConnectionHistoryModel, ListsAtMostTenConnections)
{
    ConnectionHistoryModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<ConnectionRecord> connections;
    for (int i = 0; i < 50; ++i)
        connections << ConnectionRecord{QUuid::createUuid(), QStringLiteral("client %1").arg(i), "1.2.3", kNoon.addSecs(-60 * i)};
    model.setRecords(connections);
    ASSERT_EQ(model.rowCount(), 10);
    EXPECT_EQ(model.index(0, ConnectionHistoryModel::NameColumn).data().toString(), "client 0");
    EXPECT_EQ(model.index(9, ConnectionHistoryModel::NameColumn).data().toString(), "client 9");
    EXPECT_EQ(model.index(0, ConnectionHistoryModel::VersionColumn).data().toString(), "1.2.3");
    EXPECT_FALSE(model.index(0, ConnectionHistoryModel::TimeColumn).data().toString().isEmpty());
}

TEST(ToolUsageModel, ShowsCallsSuccessAverageAndAShareOfTheMostCalledTool)
{
    ToolUsageModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRecords({ToolUsage{"read_file", 12, 11, 1, 3.0, 0.25, kNoon}, ToolUsage{"write_file", 3, 0, 3, 0.0, 0.0, kNoon},
                      ToolUsage{"never_ran", 0, 0, 0, 0.0, 0.0, kNoon}});
    EXPECT_EQ(model.index(0, ToolUsageModel::NameColumn).data().toString(), "read_file");
    EXPECT_EQ(model.index(0, ToolUsageModel::CallsColumn).data().toString(), "12 calls");
    EXPECT_EQ(model.index(0, ToolUsageModel::SuccessColumn).data().toString(), "91.7% success");
    EXPECT_EQ(model.index(0, ToolUsageModel::AverageColumn).data().toString(), "0.25s avg");
    EXPECT_EQ(model.index(1, ToolUsageModel::SuccessColumn).data().toString(), "0.0% success");
    EXPECT_EQ(model.index(2, ToolUsageModel::SuccessColumn).data().toString(), "0.0% success");
    EXPECT_DOUBLE_EQ(model.index(0, ToolUsageModel::ShareColumn).data(ToolUsageModel::ShareRole).toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(model.index(1, ToolUsageModel::ShareColumn).data(ToolUsageModel::ShareRole).toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(model.index(2, ToolUsageModel::ShareColumn).data(ToolUsageModel::ShareRole).toDouble(), 0.0);

    QList<ToolUsage> many;
    for (int i = 0; i < 14; ++i)
        many << ToolUsage{QStringLiteral("t%1").arg(i), 14 - i, 14 - i, 0, 1.0, 0.1, kNoon};
    model.setRecords(many);
    EXPECT_EQ(model.rowCount(), 10);
}

} // namespace

#pragma once

#include "state/ServerStatistics.h"
#include "ui/models/RecordTableModel.h"

// "Most Used Tools": the store's top tools, most called first.
class ToolUsageModel : public RecordTableModel<ToolUsage> {
    Q_OBJECT
public:
    enum Column { NameColumn, CallsColumn, SuccessColumn, AverageColumn, ShareColumn, ColumnCount };
    // The share of the most called tool's calls, 0 to 1, for the bar drawn in ShareColumn.
    static constexpr int ShareRole = Qt::UserRole + 1;
    static constexpr qsizetype kLimit = 10;

    explicit ToolUsageModel(QObject* parent = nullptr);

    static QString callsText(const ToolUsage& usage);   // "12 calls"
    static QString successText(const ToolUsage& usage); // "91.7% success"
    static QString averageText(const ToolUsage& usage); // "0.25s avg"

protected:
    QVariant recordData(const ToolUsage& usage, int column, int role) const override;
};

// "Recent Tool Calls": the newest calls, at most 15.
class RecentCallsModel : public RecordTableModel<ToolCallRecord> {
    Q_OBJECT
public:
    enum Column { NameColumn, TimeColumn, DurationColumn, ColumnCount };
    static constexpr qsizetype kLimit = 15;

    explicit RecentCallsModel(QObject* parent = nullptr);

protected:
    QVariant recordData(const ToolCallRecord& call, int column, int role) const override;
};

// "Connection History": the newest client connections, at most 10.
class ConnectionHistoryModel : public RecordTableModel<ConnectionRecord> {
    Q_OBJECT
public:
    enum Column { NameColumn, VersionColumn, TimeColumn, ColumnCount };
    static constexpr qsizetype kLimit = 10;

    explicit ConnectionHistoryModel(QObject* parent = nullptr);

protected:
    QVariant recordData(const ConnectionRecord& connection, int column, int role) const override;
};

namespace StatisticsText {

// The uptime and the success rate are written as the sub-commands write them (ServerActions).
// "%.2fs".
QString seconds(double seconds);
// A moment as the user's locale writes a short date and time.
QString dateTime(const QDateTime& moment);

} // namespace StatisticsText

#include "ui/models/StatisticsModels.h"

#include "control/ServerActions.h"
#include "state/CountText.h"
#include "ui/Symbols.h"

#include <QLocale>

#include <algorithm>

namespace StatisticsText {

QString seconds(double value)
{
    return QString::asprintf("%.2fs", value);
}

QString dateTime(const QDateTime& moment)
{
    return QLocale().toString(moment.toLocalTime(), QLocale::ShortFormat);
}

} // namespace StatisticsText

ToolUsageModel::ToolUsageModel(QObject* parent)
    : RecordTableModel(kLimit, ColumnCount, parent)
{
}

QString ToolUsageModel::callsText(const ToolUsage& usage)
{
    return countText(usage.callCount, QStringLiteral("call"), QStringLiteral("calls"));
}

QString ToolUsageModel::successText(const ToolUsage& usage)
{
    const double rate = usage.callCount > 0 ? static_cast<double>(usage.successCount) / static_cast<double>(usage.callCount) : 0.0;
    return ServerActions::percentText(rate) + QStringLiteral(" success");
}

QString ToolUsageModel::averageText(const ToolUsage& usage)
{
    return QString::asprintf("%.2fs avg", usage.averageDuration);
}

QVariant ToolUsageModel::recordData(const ToolUsage& usage, int column, int role) const
{
    if (role == ShareRole) {
        qint64 most = 0;
        for (const ToolUsage& other : records())
            most = std::max(most, other.callCount);
        return most > 0 ? static_cast<double>(usage.callCount) / static_cast<double>(most) : 0.0;
    }
    if (role == Qt::AccessibleTextRole && column == ShareColumn)
        return callsText(usage);
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case NameColumn: return usage.name;
    case CallsColumn: return callsText(usage);
    case SuccessColumn: return successText(usage);
    case AverageColumn: return averageText(usage);
    default: return {};
    }
}

RecentCallsModel::RecentCallsModel(QObject* parent)
    : RecordTableModel(kLimit, ColumnCount, parent)
{
}

QVariant RecentCallsModel::recordData(const ToolCallRecord& call, int column, int role) const
{
    if (column == NameColumn && role == Qt::DecorationRole) {
        return call.success ? Symbols::tinted(QStringLiteral("checkmark.circle.fill"), QColor(0x2e, 0xa0, 0x45))
                            : Symbols::tinted(QStringLiteral("xmark.circle.fill"), QColor(0xe0, 0x35, 0x2b));
    }
    if (column == NameColumn && role == Qt::AccessibleDescriptionRole)
        return call.success ? QStringLiteral("succeeded") : QStringLiteral("failed");
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case NameColumn: return call.toolName;
    case TimeColumn: return StatisticsText::dateTime(call.timestamp);
    case DurationColumn: return StatisticsText::seconds(call.duration);
    default: return {};
    }
}

ConnectionHistoryModel::ConnectionHistoryModel(QObject* parent)
    : RecordTableModel(kLimit, ColumnCount, parent)
{
}

QVariant ConnectionHistoryModel::recordData(const ConnectionRecord& connection, int column, int role) const
{
    if (column == NameColumn && role == Qt::DecorationRole)
        return Symbols::icon(QStringLiteral("network"));
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case NameColumn: return connection.clientName;
    case VersionColumn: return connection.clientVersion;
    case TimeColumn: return StatisticsText::dateTime(connection.timestamp);
    default: return {};
    }
}

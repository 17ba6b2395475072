#include "ui/models/ActivityLogModel.h"

#include "ui/Symbols.h"

#include <QLocale>

ActivityLogModel::ActivityLogModel(qsizetype capacity, QObject* parent)
    : QAbstractTableModel(parent)
    , m_capacity(capacity)
{
}

ActivityLogModel::Stored ActivityLogModel::stored(const ActivityLogRow& row)
{
    // Folded once on arrival, so that a keystroke in the search field compares plain text.
    return Stored{row, QLocale().toLower(row.entry.message)};
}

void ActivityLogModel::setEntries(const QList<ActivityLogRow>& rows)
{
    beginResetModel();
    m_rows.clear();
    const qsizetype count = m_capacity < 0 ? rows.size() : std::min(m_capacity, rows.size());
    m_rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        m_rows.append(stored(rows.at(i)));
    endResetModel();
}

void ActivityLogModel::addEntry(const ActivityLogRow& row)
{
    if (m_capacity == 0)
        return;
    beginInsertRows({}, 0, 0);
    m_rows.prepend(stored(row));
    endInsertRows();
    trimToCapacity();
}

void ActivityLogModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ActivityLogModel::setCapacity(qsizetype capacity)
{
    m_capacity = capacity;
    trimToCapacity();
}

void ActivityLogModel::trimToCapacity()
{
    if (m_capacity < 0 || m_rows.size() <= m_capacity)
        return;
    beginRemoveRows({}, static_cast<int>(m_capacity), static_cast<int>(m_rows.size() - 1));
    m_rows.resize(m_capacity);
    endRemoveRows();
}

QString ActivityLogModel::symbolName(LogType type)
{
    switch (type) {
    case LogType::Info: return QStringLiteral("info.circle.fill");
    case LogType::Request: return QStringLiteral("arrow.down.circle.fill");
    case LogType::ToolCall: return QStringLiteral("wrench.and.screwdriver.fill");
    case LogType::Success: return QStringLiteral("checkmark.circle.fill");
    case LogType::Error: return QStringLiteral("exclamationmark.triangle.fill");
    }
    return {};
}

QColor ActivityLogModel::color(LogType type)
{
    // Mid-tone colours that read on light and dark backgrounds alike.
    switch (type) {
    case LogType::Info: return QColor(0x1f, 0x7a, 0xe0);     // blue
    case LogType::Request: return QColor(0x9b, 0x51, 0xe0);  // purple
    case LogType::ToolCall: return QColor(0x6b, 0x78, 0x89); // slate: a call is neither good nor bad news
    case LogType::Success: return QColor(0x2e, 0xa0, 0x45);  // green
    case LogType::Error: return QColor(0xe0, 0x35, 0x2b);    // red
    }
    return {};
}

QString ActivityLogModel::timeText(const QDateTime& timestamp)
{
    return QLocale().toString(timestamp.toLocalTime().time(), QStringLiteral("HH:mm:ss"));
}

QString ActivityLogModel::detailText(const ActivityLogRow& row)
{
    QString origin = clientText(row);
    if (!row.clientName.isEmpty() && row.pid > 0)
        origin += QStringLiteral(", process %1").arg(row.pid);
    QString heading = logTypeName(row.entry.type) + QStringLiteral(", ")
        + QLocale().toString(row.entry.timestamp.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!origin.isEmpty())
        heading += QStringLiteral(", ") + origin;
    return heading + QLatin1Char('\n') + row.entry.message;
}

QString ActivityLogModel::clientText(const ActivityLogRow& row)
{
    if (!row.clientName.isEmpty())
        return row.clientName;
    return row.pid > 0 ? QStringLiteral("process %1").arg(row.pid) : QString();
}

int ActivityLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ActivityLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ActivityLogModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Stored& stored = m_rows.at(index.row());
    const ActivityLogRow& row = stored.row;
    switch (role) {
    case TypeRole: return static_cast<int>(row.entry.type);
    case MessageRole: return row.entry.message;
    case TimestampRole: return row.entry.timestamp;
    case ClientRole: return row.clientName;
    case PidRole: return row.pid;
    case FoldedMessageRole: return stored.folded;
    default: break;
    }
    switch (index.column()) {
    case TimeColumn:
        if (role == Qt::DisplayRole)
            return timeText(row.entry.timestamp);
        if (role == Qt::DecorationRole)
            return Symbols::tinted(symbolName(row.entry.type), color(row.entry.type));
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return QStringLiteral("%1, %2").arg(logTypeName(row.entry.type),
                                                QLocale().toString(row.entry.timestamp.toLocalTime(), QLocale::LongFormat));
        break;
    case MessageColumn:
        if (role == Qt::DisplayRole)
            return row.entry.message;
        // As rich text, the tooltip wraps a message of a kilobyte instead of running off the screen.
        if (role == Qt::ToolTipRole)
            return QStringLiteral("<p>%1</p>").arg(row.entry.message.toHtmlEscaped());
        break;
    case ClientColumn:
        if (role == Qt::DisplayRole)
            return clientText(row);
        if (role == Qt::ToolTipRole && row.pid > 0)
            return QStringLiteral("Process %1").arg(row.pid);
        break;
    default: break;
    }
    return {};
}

QVariant ActivityLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn: return QStringLiteral("Time");
    case MessageColumn: return QStringLiteral("Message");
    case ClientColumn: return QStringLiteral("Client");
    default: return {};
    }
}

#include "ui/models/HistoryModel.h"

#include "protocol/JsonWriter.h"
#include "state/HistoryArguments.h"
#include "state/HistoryStore.h"

#include <QColor>
#include <QSaveFile>

HistoryModel::HistoryModel(const QString& databasePath, const QDateTime& now, qint64 keepDays, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(std::make_unique<HistoryStore>(databasePath))
{
    if (m_store->open(now).opened)
        m_store->keepDays(keepDays, now);
    reload();
}

HistoryModel::~HistoryModel() = default;

bool HistoryModel::isAvailable() const
{
    return m_store->isOpen();
}

QString HistoryModel::problem() const
{
    return m_store->problem();
}

void HistoryModel::setFilter(const HistoryFilter& filter)
{
    m_filter = filter;
    m_filter.before.reset();
    reload();
}

QList<HistoryRecord> HistoryModel::nextPage(const HistoryFilter& filter, const QList<HistoryRecord>& sofar) const
{
    HistoryFilter page = filter;
    if (!sofar.isEmpty())
        page.before = std::make_pair(sofar.last().time, sofar.last().id);
    return m_store->find(page, kPageSize);
}

void HistoryModel::reload()
{
    beginResetModel();
    m_records = nextPage(m_filter, {});
    m_exhausted = m_records.size() < kPageSize;
    endResetModel();
}

qint64 HistoryModel::matchingCount() const
{
    return m_store->count(m_filter);
}

QStringList HistoryModel::tools() const
{
    return m_store->tools();
}

QStringList HistoryModel::clients() const
{
    return m_store->clients();
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_exhausted && !m_fetching;
}

void HistoryModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const QList<HistoryRecord> page = nextPage(m_filter, m_records);
    m_exhausted = page.size() < kPageSize;
    if (page.isEmpty())
        return;
    // A view (or a model tester) may ask for more while it hears of the rows being inserted.
    m_fetching = true;
    beginInsertRows({}, static_cast<int>(m_records.size()), static_cast<int>(m_records.size() + page.size() - 1));
    m_records.append(page);
    endInsertRows();
    m_fetching = false;
}

qint64 HistoryModel::exportJsonLines(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    qint64 written = 0;
    QList<HistoryRecord> page = nextPage(m_filter, {});
    while (!page.isEmpty()) {
        for (const HistoryRecord& record : page) {
            file.write(QByteArray::fromStdString(JsonWriter::compact(record.toJson())));
            file.write("\n");
        }
        written += page.size();
        page = page.size() < kPageSize ? QList<HistoryRecord>() : nextPage(m_filter, page);
    }
    return file.commit() ? written : -1;
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_records.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_records.size())
        return {};
    const HistoryRecord& record = m_records.at(index.row());
    if (role == Qt::ForegroundRole && index.column() == Outcome && record.outcome != QLatin1String(HistoryRecord::kOk))
        return QColor(Qt::red);
    if (role == Qt::ToolTipRole && index.column() == Outcome)
        return record.errorText.isEmpty() ? QVariant() : QVariant(record.errorText);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Time: return record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Client: return record.clientVersion.isEmpty() ? record.clientName : record.clientName + QLatin1Char(' ') + record.clientVersion;
    case Tool: return record.tool;
    case Outcome: return record.outcome;
    case Arguments: return HistoryArguments::summary(record.arguments);
    case Duration: return QStringLiteral("%1 ms").arg(record.durationMs, 0, 'f', 1);
    default: return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {"Time", "Client", "Tool", "Outcome", "Arguments", "Duration"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

#pragma once

#include <QAbstractTableModel>
#include <QList>

// A table over a short list of records (the statistics page's lists), at most `limit` of them.
// A new list of the same length updates the rows in place, so that the selection and the
// keyboard focus survive the frequent refreshes of live figures.
template <typename Record> class RecordTableModel : public QAbstractTableModel {
public:
    RecordTableModel(qsizetype limit, int columns, QObject* parent)
        : QAbstractTableModel(parent)
        , m_limit(limit)
        , m_columns(columns)
    {
    }

    void setRecords(QList<Record> records)
    {
        if (records.size() > m_limit)
            records.resize(m_limit);
        if (records.size() == m_records.size()) {
            m_records = std::move(records);
            if (!m_records.isEmpty())
                Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1));
            return;
        }
        beginResetModel();
        m_records = std::move(records);
        endResetModel();
    }

    const QList<Record>& records() const { return m_records; }
    qsizetype limit() const { return m_limit; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(m_records.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_columns; }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        return recordData(m_records.at(index.row()), index.column(), role);
    }

protected:
    virtual QVariant recordData(const Record& record, int column, int role) const = 0;

private:
    qsizetype m_limit;
    int m_columns;
    QList<Record> m_records;
};

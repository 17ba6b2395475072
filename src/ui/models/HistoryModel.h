#pragma once

#include "state/HistoryRecord.h"

#include <QAbstractTableModel>
#include <QList>

#include <memory>

class HistoryStore;

// The history database as a table, newest call first, read a page at a time as the view
// scrolls (canFetchMore/fetchMore), so that a million calls cost what the visible ones cost.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Client, Tool, Outcome, Arguments, Duration, ColumnCount };
    static constexpr int kPageSize = 200;

    // Opens the database at `databasePath` (a new one when missing).
    // `keepDays` (historyDays) is applied first: what is older than that is removed.
    HistoryModel(const QString& databasePath, const QDateTime& now, qint64 keepDays = 0, QObject* parent = nullptr);
    ~HistoryModel() override;

    bool isAvailable() const;
    QString problem() const;

    const HistoryFilter& filter() const { return m_filter; }
    // Starts again from the newest call that matches.
    void setFilter(const HistoryFilter& filter);
    // Reads the first page again (new calls arrive all the time).
    void reload();
    // How many calls match the filter in all, not only those read so far.
    qint64 matchingCount() const;
    // The tool and client names recorded, for the filter's choices.
    QStringList tools() const;
    QStringList clients() const;

    const HistoryRecord& recordAt(int row) const { return m_records.at(row); }

    // Every matching call (not only those read), as one JSON object per line; the number
    // written, or -1 when the file could not be written.
    qint64 exportJsonLines(const QString& path) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    QList<HistoryRecord> nextPage(const HistoryFilter& filter, const QList<HistoryRecord>& sofar) const;

    std::unique_ptr<HistoryStore> m_store;
    HistoryFilter m_filter;
    QList<HistoryRecord> m_records;
    bool m_exhausted = true;
    bool m_fetching = false;
};

#pragma once

#include "state/ActivityLogEntry.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>

// One entry of the log of every process, with the process it came from.
struct ActivityLogRow {
    ActivityLogEntry entry;
    qint64 pid = 0;
    QString clientName;
};

// The activity log as rows, newest first: its time (with the type's symbol in the type's
// colour), its message and the client it came from. Fed with plain entries, so that it shows
// the log of one process or the merged log of all of them alike.
class ActivityLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, MessageColumn, ClientColumn, ColumnCount };
    enum Role {
        TypeRole = Qt::UserRole + 1, // LogType as int
        MessageRole,
        TimestampRole,
        ClientRole,
        PidRole,
        FoldedMessageRole, // the message in lower case by the user's locale, for searching
    };

    // At most `capacity` rows are kept (the newest); a negative capacity keeps every row.
    explicit ActivityLogModel(qsizetype capacity = -1, QObject* parent = nullptr);

    // Replaces every row; `rows` is newest first.
    void setEntries(const QList<ActivityLogRow>& rows);
    // A new entry, shown at the top; the oldest row goes when the capacity is exceeded.
    void addEntry(const ActivityLogRow& row);
    void clear();
    void setCapacity(qsizetype capacity);
    qsizetype capacity() const { return m_capacity; }

    const ActivityLogRow& rowAt(int row) const { return m_rows.at(row).row; }

    static QString symbolName(LogType type);
    static QColor color(LogType type);
    static QString timeText(const QDateTime& timestamp);
    static QString clientText(const ActivityLogRow& row);
    // The whole entry for its detail pane: type, date and time, client and process, then the message.
    static QString detailText(const ActivityLogRow& row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Stored {
        ActivityLogRow row;
        QString folded;
    };
    static Stored stored(const ActivityLogRow& row);
    void trimToCapacity();

    qsizetype m_capacity;
    QList<Stored> m_rows;
};

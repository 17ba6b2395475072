#pragma once

#include "state/HistoryRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The database under HistoryStore. Its SQLite implementation lives in a library of its own, so
// that Qt Sql and the SQLite driver are loaded with the first use of the history: most client
// processes record nothing before they end.
class HistoryDatabase {
public:
    struct Opening {
        bool opened = false;
        // Where a damaged database or one of another version went before a new one was started.
        QString movedAsideTo;
        QString problem;
    };
    enum class Write { Written, Failed, Damaged };

    virtual ~HistoryDatabase() = default;

    virtual Opening open(const QDateTime& now) = 0;
    virtual Opening startOver(const QDateTime& now) = 0;
    virtual bool isOpen() const = 0;
    virtual Write append(const QList<HistoryRecord>& records) = 0;
    virtual QList<HistoryRecord> find(const HistoryFilter& filter, int limit) const = 0;
    virtual qint64 count(const HistoryFilter& filter) const = 0;
    virtual QStringList tools() const = 0;
    virtual QStringList clients() const = 0;
    virtual qint64 removeOlderThan(const QDateTime& cutoff) = 0;
    virtual qint64 removeAll() = 0;
    virtual QString problem() const = 0;
};

// What the history library offers.
struct HistoryLibraryFunctions {
    int version;
    HistoryDatabase* (*createDatabase)(const QString& path);
};

inline constexpr int kHistoryLibraryVersion = 1;
#define ZARNEL_HISTORY_LIBRARY_ENTRY "zarnel_history_library"

#pragma once

#include "state/HistoryDatabase.h"

#include <QList>
#include <QString>

#include <memory>

// The SQLite database of tool calls that every zarnel process of the user writes at once: WAL
// mode with a busy timeout, one short transaction per batch, the schema's version in
// PRAGMA user_version. The folder is private (0700), the files the owner's alone (0600).
//
// The database library is loaded with the first call that needs the database; a store that
// cannot load it is one that does not open, and `problem()` says why.
//
// A connection belongs to the thread that opened it: a store is used from one thread only.
class HistoryStore {
public:
    static constexpr int kSchemaVersion = 1;
    static constexpr int kBusyTimeoutMs = 5000;

    // $XDG_STATE_HOME/zarnel/history.sqlite, or ~/.local/state/zarnel/history.sqlite.
    static QString defaultPath();

    explicit HistoryStore(QString path);
    ~HistoryStore();

    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    using Opening = HistoryDatabase::Opening;
    // Opens the database, creating it when missing; `now` names a file moved aside.
    Opening open(const QDateTime& now);
    // Moves the database aside whatever it holds and starts a new one.
    Opening startOver(const QDateTime& now);
    bool isOpen() const;
    QString path() const { return m_path; }

    using Write = HistoryDatabase::Write;
    // All records in one transaction, or none of them.
    Write append(const QList<HistoryRecord>& records);

    // Newest first, at most `limit`.
    QList<HistoryRecord> find(const HistoryFilter& filter, int limit) const;
    qint64 count(const HistoryFilter& filter) const;
    // The distinct tool and client names recorded, for choosers.
    QStringList tools() const;
    QStringList clients() const;

    // The number of records removed; -1 when it failed.
    qint64 removeOlderThan(const QDateTime& cutoff);
    // Removes what is older than `days` before `now` (historyDays; nothing when 0).
    qint64 keepDays(qint64 days, const QDateTime& now);
    qint64 removeAll();

    QString problem() const;

private:
    // Null when the library cannot be loaded.
    HistoryDatabase* database();

    QString m_path;
    std::unique_ptr<HistoryDatabase> m_database;
    QString m_loadProblem;
};

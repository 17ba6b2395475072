#pragma once

#include "state/HistoryDatabase.h"

// The history in SQLite, written by every zarnel process of the user at once: WAL mode with a
// busy timeout, one short transaction per batch, the schema's version in PRAGMA user_version.
// The folder is private (0700), the files the owner's alone (0600).
//
// A connection belongs to the thread that opened it: a database is used from one thread only.
class SqliteHistoryDatabase : public HistoryDatabase {
public:
    explicit SqliteHistoryDatabase(QString path);
    ~SqliteHistoryDatabase() override;

    SqliteHistoryDatabase(const SqliteHistoryDatabase&) = delete;
    SqliteHistoryDatabase& operator=(const SqliteHistoryDatabase&) = delete;

    Opening open(const QDateTime& now) override;
    Opening startOver(const QDateTime& now) override;
    bool isOpen() const override;
    Write append(const QList<HistoryRecord>& records) override;
    QList<HistoryRecord> find(const HistoryFilter& filter, int limit) const override;
    qint64 count(const HistoryFilter& filter) const override;
    QStringList tools() const override;
    QStringList clients() const override;
    qint64 removeOlderThan(const QDateTime& cutoff) override;
    qint64 removeAll() override;
    QString problem() const override { return m_problem; }

private:
    bool connect();
    void disconnect();
    Opening moveAsideAndReopen(const QDateTime& now, const QString& why);
    bool prepareSchema(bool* otherVersion);
    QStringList distinct(const char* column) const;

    QString m_path;
    QString m_connection;
    mutable QString m_problem;
};

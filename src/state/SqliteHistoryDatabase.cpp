#include "state/SqliteHistoryDatabase.h"

#include "state/HistoryStore.h"

#include "platform/processes/Log.h"
#include "platform/store/PrivateFolder.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

ZARNEL_LOGGING_CATEGORY(lcHistory, "HistoryStore")

namespace {

// SQLite's result codes for a file that is damaged or is no database at all.
const QString kCorrupt = QStringLiteral("11");
const QString kNotADatabase = QStringLiteral("26");

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

const char* const kSchema[] = {
    "CREATE TABLE calls (id INTEGER PRIMARY KEY, time INTEGER NOT NULL, process INTEGER NOT NULL, client TEXT NOT NULL, "
    "client_version TEXT NOT NULL, revision TEXT NOT NULL, tool TEXT NOT NULL, arguments TEXT NOT NULL, outcome TEXT NOT NULL, "
    "error TEXT NOT NULL, duration_ms REAL NOT NULL)",
    "CREATE INDEX calls_by_time ON calls (time)",
    // A reader filters by tool or by client over a period: each such query walks one index range.
    "CREATE INDEX calls_by_tool ON calls (tool, time)",
    "CREATE INDEX calls_by_client ON calls (client, time)",
};

const char* const kColumns = "id, time, process, client, client_version, revision, tool, arguments, outcome, error, duration_ms";

bool isDamage(const QSqlError& error)
{
    return error.nativeErrorCode() == kCorrupt || error.nativeErrorCode() == kNotADatabase;
}

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("zarnel-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

struct Where {
    QString clause;
    QVariantList values;
};

Where whereOf(const HistoryFilter& filter)
{
    QStringList parts;
    Where where;
    if (filter.since) {
        parts.append(QStringLiteral("time >= ?"));
        where.values.append(filter.since->toMSecsSinceEpoch());
    }
    if (filter.until) {
        parts.append(QStringLiteral("time < ?"));
        where.values.append(filter.until->toMSecsSinceEpoch());
    }
    if (!filter.tool.isEmpty()) {
        parts.append(QStringLiteral("tool = ?"));
        where.values.append(filter.tool);
    }
    if (!filter.client.isEmpty()) {
        parts.append(QStringLiteral("client = ?"));
        where.values.append(filter.client);
    }
    if (filter.errorsOnly)
        parts.append(QStringLiteral("outcome <> 'ok'"));
    if (filter.before) {
        const qint64 time = filter.before->first.toMSecsSinceEpoch();
        parts.append(QStringLiteral("(time < ? OR (time = ? AND id < ?))"));
        where.values << time << time << filter.before->second;
    }
    if (!parts.isEmpty())
        where.clause = QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
    return where;
}

HistoryRecord recordAt(const QSqlQuery& query)
{
    HistoryRecord record;
    record.id = query.value(0).toLongLong();
    record.time = QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), Qt::UTC);
    record.processId = query.value(2).toLongLong();
    record.clientName = query.value(3).toString();
    record.clientVersion = query.value(4).toString();
    record.revision = query.value(5).toString();
    record.tool = query.value(6).toString();
    record.arguments = query.value(7).toString();
    record.outcome = query.value(8).toString();
    record.errorText = query.value(9).toString();
    record.durationMs = query.value(10).toDouble();
    return record;
}

// Makes the folder private and the database file the owner's before SQLite opens it: SQLite
// gives its journal files the database file's mode.
std::optional<QString> prepareFiles(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (QFileInfo::exists(folder) && !QFileInfo(folder).isSymLink())
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (auto problem = PrivateFolder::prepare(folder))
        return problem;
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !file.exists())
        return QStringLiteral("cannot create %1: %2").arg(path, file.errorString());
    file.close();
    file.setPermissions(kOwnerOnly);
    return std::nullopt;
}

} // namespace

SqliteHistoryDatabase::SqliteHistoryDatabase(QString path)
    : m_path(std::move(path))
    , m_connection(nextConnectionName())
{
}

SqliteHistoryDatabase::~SqliteHistoryDatabase()
{
    disconnect();
}

bool SqliteHistoryDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

bool SqliteHistoryDatabase::connect()
{
    disconnect();
    if (auto problem = prepareFiles(m_path)) {
        m_problem = *problem;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(HistoryStore::kBusyTimeoutMs));
    if (!db.open()) {
        m_problem = db.lastError().text();
        return false;
    }
    return true;
}

void SqliteHistoryDatabase::disconnect()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool SqliteHistoryDatabase::prepareSchema(bool* otherVersion)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    const auto run = [&](const QString& statement) {
        if (query.exec(statement))
            return true;
        m_problem = query.lastError().text();
        *otherVersion = *otherVersion || isDamage(query.lastError());
        return false;
    };
    // The journal mode stays with the file; every process asks for it, the first one sets it.
    if (!run(QStringLiteral("PRAGMA journal_mode=WAL")))
        return false;
    if (!run(QStringLiteral("PRAGMA synchronous=NORMAL")) || !run(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    // Read inside the write transaction, so that of two processes starting on a new file only
    // one creates the tables.
    if (!run(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        run(QStringLiteral("ROLLBACK"));
        return false;
    }
    const int version = query.value(0).toInt();
    bool created = true;
    if (version == 0) {
        if (!run(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
            run(QStringLiteral("ROLLBACK"));
            return false;
        }
        // Tables without our version are someone else's.
        if (query.value(0).toInt() != 0) {
            *otherVersion = true;
        } else {
            for (const char* statement : kSchema)
                created = created && run(QString::fromLatin1(statement));
            created = created && run(QStringLiteral("PRAGMA user_version=%1").arg(HistoryStore::kSchemaVersion));
        }
    } else if (version != HistoryStore::kSchemaVersion) {
        *otherVersion = true;
        m_problem = QStringLiteral("the database is of version %1, not %2").arg(version).arg(HistoryStore::kSchemaVersion);
    }
    if (*otherVersion || !created) {
        run(QStringLiteral("ROLLBACK"));
        return false;
    }
    return run(QStringLiteral("COMMIT"));
}

HistoryDatabase::Opening SqliteHistoryDatabase::open(const QDateTime& now)
{
    Opening opening;
    if (!connect()) {
        opening.problem = m_problem;
        return opening;
    }
    bool otherVersion = false;
    if (prepareSchema(&otherVersion)) {
        opening.opened = true;
        return opening;
    }
    if (otherVersion)
        return moveAsideAndReopen(now, m_problem);
    disconnect();
    opening.problem = m_problem;
    return opening;
}

HistoryDatabase::Opening SqliteHistoryDatabase::startOver(const QDateTime& now)
{
    return moveAsideAndReopen(now, QStringLiteral("the database is damaged"));
}

HistoryDatabase::Opening SqliteHistoryDatabase::moveAsideAndReopen(const QDateTime& now, const QString& why)
{
    disconnect();
    Opening opening;
    const QString aside = m_path + QStringLiteral(".broken-") + now.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'"));
    qCCritical(lcHistory, "History database unusable (%s); moving it to %s", qUtf8Printable(why), qUtf8Printable(aside));
    if (!QFile::rename(m_path, aside)) {
        opening.problem = QStringLiteral("cannot move %1 aside").arg(m_path);
        return opening;
    }
    // The write-ahead log belongs to the file it was written for and goes with it; the shared
    // memory index is rebuilt from it.
    QFile::rename(m_path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(m_path + QStringLiteral("-shm"));
    opening.movedAsideTo = aside;
    bool otherVersion = false;
    opening.opened = connect() && prepareSchema(&otherVersion);
    if (!opening.opened) {
        disconnect();
        opening.problem = m_problem;
    }
    return opening;
}

HistoryDatabase::Write SqliteHistoryDatabase::append(const QList<HistoryRecord>& records)
{
    if (!isOpen())
        return Write::Failed;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    QSqlError failure;
    const auto failed = [&](const QSqlError& error) {
        failure = error;
        m_problem = error.text();
        return true;
    };
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")) && failed(query.lastError()))
        return isDamage(failure) ? Write::Damaged : Write::Failed;
    query.prepare(QStringLiteral("INSERT INTO calls (time, process, client, client_version, revision, tool, arguments, outcome, error, "
                                 "duration_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    bool ok = true;
    for (const HistoryRecord& record : records) {
        query.addBindValue(record.time.toMSecsSinceEpoch());
        query.addBindValue(record.processId);
        query.addBindValue(record.clientName.isNull() ? QString(QLatin1String("")) : record.clientName);
        query.addBindValue(record.clientVersion.isNull() ? QString(QLatin1String("")) : record.clientVersion);
        query.addBindValue(record.revision.isNull() ? QString(QLatin1String("")) : record.revision);
        query.addBindValue(record.tool);
        query.addBindValue(record.arguments.isNull() ? QStringLiteral("{}") : record.arguments);
        query.addBindValue(record.outcome);
        query.addBindValue(record.errorText.isNull() ? QString(QLatin1String("")) : record.errorText);
        query.addBindValue(record.durationMs);
        if (!query.exec()) {
            ok = !failed(query.lastError());
            break;
        }
    }
    QSqlQuery end(db);
    if (ok && !end.exec(QStringLiteral("COMMIT")))
        ok = !failed(end.lastError());
    if (!ok) {
        end.exec(QStringLiteral("ROLLBACK"));
        return isDamage(failure) ? Write::Damaged : Write::Failed;
    }
    return Write::Written;
}

QList<HistoryRecord> SqliteHistoryDatabase::find(const HistoryFilter& filter, int limit) const
{
    QList<HistoryRecord> records;
    m_problem.clear();
    if (!isOpen())
        return records;
    const Where where = whereOf(filter);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM calls%2 ORDER BY time DESC, id DESC LIMIT %3")
                      .arg(QLatin1String(kColumns), where.clause)
                      .arg(std::max(limit, 0)));
    for (const QVariant& value : where.values)
        query.addBindValue(value);
    if (!query.exec()) {
        m_problem = query.lastError().text();
        return records;
    }
    while (query.next())
        records.append(recordAt(query));
    return records;
}

qint64 SqliteHistoryDatabase::count(const HistoryFilter& filter) const
{
    if (!isOpen())
        return 0;
    const Where where = whereOf(filter);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT count(*) FROM calls") + where.clause);
    for (const QVariant& value : where.values)
        query.addBindValue(value);
    if (!query.exec() || !query.next()) {
        m_problem = query.lastError().text();
        return 0;
    }
    return query.value(0).toLongLong();
}

QStringList SqliteHistoryDatabase::distinct(const char* column) const
{
    QStringList names;
    if (!isOpen())
        return names;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // Each distinct value found by a jump through the index, not by reading every row.
    const QString statement = QStringLiteral("WITH RECURSIVE names(name) AS (SELECT min(%1) FROM calls UNION ALL "
                                             "SELECT (SELECT min(%1) FROM calls WHERE %1 > name) FROM names WHERE name IS NOT NULL) "
                                             "SELECT name FROM names WHERE name IS NOT NULL")
                                  .arg(QLatin1String(column));
    if (!query.exec(statement)) {
        m_problem = query.lastError().text();
        return names;
    }
    while (query.next())
        names.append(query.value(0).toString());
    return names;
}

QStringList SqliteHistoryDatabase::tools() const
{
    return distinct("tool");
}

QStringList SqliteHistoryDatabase::clients() const
{
    return distinct("client");
}

qint64 SqliteHistoryDatabase::removeOlderThan(const QDateTime& cutoff)
{
    if (!isOpen())
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM calls WHERE time < ?"));
    query.addBindValue(cutoff.toMSecsSinceEpoch());
    if (!query.exec()) {
        m_problem = query.lastError().text();
        return -1;
    }
    return query.numRowsAffected();
}

qint64 SqliteHistoryDatabase::removeAll()
{
    if (!isOpen())
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("DELETE FROM calls"))) {
        m_problem = query.lastError().text();
        return -1;
    }
    const qint64 removed = query.numRowsAffected();
    // Forgetting means the bytes too: the freed pages and the log that still holds them go.
    QSqlQuery tidy(QSqlDatabase::database(m_connection, false));
    tidy.exec(QStringLiteral("VACUUM"));
    tidy.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return removed;
}

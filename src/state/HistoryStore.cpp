#include "state/HistoryStore.h"

#include "platform/PrivateLibrary.h"

#include <QDir>

namespace {

const PrivateLibrary::Loaded<HistoryLibraryFunctions>& library()
{
    return PrivateLibrary::loadOnce<HistoryLibraryFunctions>("libzarnel-history.so", ZARNEL_HISTORY_LIBRARY_ENTRY, kHistoryLibraryVersion);
}

} // namespace

QString HistoryStore::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG rules: a relative path is to be ignored.
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/zarnel/history.sqlite");
}

HistoryStore::HistoryStore(QString path)
    : m_path(std::move(path))
{
}

HistoryStore::~HistoryStore() = default;

HistoryDatabase* HistoryStore::database()
{
    if (!m_database) {
        const auto& loaded = library();
        if (loaded.table)
            m_database.reset(loaded.table->createDatabase(m_path));
        else
            m_loadProblem = QStringLiteral("the history library cannot be loaded: ") + loaded.error;
    }
    return m_database.get();
}

HistoryStore::Opening HistoryStore::open(const QDateTime& now)
{
    HistoryDatabase* db = database();
    return db ? db->open(now) : Opening{false, {}, problem()};
}

HistoryStore::Opening HistoryStore::startOver(const QDateTime& now)
{
    HistoryDatabase* db = database();
    return db ? db->startOver(now) : Opening{false, {}, problem()};
}

// Only opening loads the database's library: until then the store is closed, and answers as a
// closed database does.

bool HistoryStore::isOpen() const
{
    return m_database && m_database->isOpen();
}

HistoryStore::Write HistoryStore::append(const QList<HistoryRecord>& records)
{
    return m_database ? m_database->append(records) : Write::Failed;
}

QList<HistoryRecord> HistoryStore::find(const HistoryFilter& filter, int limit) const
{
    return m_database ? m_database->find(filter, limit) : QList<HistoryRecord>();
}

qint64 HistoryStore::count(const HistoryFilter& filter) const
{
    return m_database ? m_database->count(filter) : 0;
}

QStringList HistoryStore::tools() const
{
    return m_database ? m_database->tools() : QStringList();
}

QStringList HistoryStore::clients() const
{
    return m_database ? m_database->clients() : QStringList();
}

qint64 HistoryStore::keepDays(qint64 days, const QDateTime& now)
{
    return days > 0 ? removeOlderThan(now.addDays(-days)) : 0;
}

qint64 HistoryStore::removeOlderThan(const QDateTime& cutoff)
{
    return m_database ? m_database->removeOlderThan(cutoff) : -1;
}

qint64 HistoryStore::removeAll()
{
    return m_database ? m_database->removeAll() : -1;
}

QString HistoryStore::problem() const
{
    return m_database ? m_database->problem() : m_loadProblem;
}

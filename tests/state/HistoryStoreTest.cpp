#include "state/HistoryStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <set>

namespace {

// Qt's "user" flags repeat the owner's for the owner; the mode bits are the others.
constexpr int kNotUserFlags = 0x7077;

const QDateTime kStart(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC);

HistoryRecord call(const QString& tool, const QDateTime& time, const QString& outcome = QStringLiteral("ok"),
                   const QString& client = QStringLiteral("client-a"))
{
    HistoryRecord record;
    record.time = time;
    record.processId = 42;
    record.clientName = client;
    record.clientVersion = QStringLiteral("1.0");
    record.revision = QStringLiteral("2025-11-25");
    record.tool = tool;
    record.arguments = QStringLiteral("{\"command\":\"true\"}");
    record.outcome = outcome;
    record.durationMs = 1.5;
    return record;
}

class History : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + QStringLiteral("/state/zarnel/history.sqlite"); }
    std::unique_ptr<HistoryStore> opened()
    {
        auto store = std::make_unique<HistoryStore>(path());
        const HistoryStore::Opening opening = store->open(kStart);
        EXPECT_TRUE(opening.opened) << opening.problem.toStdString();
        return store;
    }
    QStringList asideFiles() const
    {
        return QDir(QFileInfo(path()).absolutePath()).entryList({QStringLiteral("history.sqlite.broken-*")}, QDir::Files);
    }

    QTemporaryDir m_dir;
};

TEST_F(History, KeepsEveryFieldAcrossReopeningAndListsNewestFirst)
{
    {
        auto store = opened();
        HistoryRecord failed = call(QStringLiteral("read_file"), kStart.addMSecs(1), QStringLiteral("error"));
        failed.errorText = QStringLiteral("File not found: /nope");
        ASSERT_EQ(store->append({call(QStringLiteral("execute_command"), kStart), failed}), HistoryStore::Write::Written);
    }
    auto store = opened();
    const QList<HistoryRecord> records = store->find({}, 50);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].tool, QStringLiteral("read_file"));
    EXPECT_EQ(records[0].time, kStart.addMSecs(1));
    EXPECT_EQ(records[0].errorText, QStringLiteral("File not found: /nope"));
    EXPECT_EQ(records[1].tool, QStringLiteral("execute_command"));
    EXPECT_EQ(records[1].processId, 42);
    EXPECT_EQ(records[1].clientName, QStringLiteral("client-a"));
    EXPECT_EQ(records[1].clientVersion, QStringLiteral("1.0"));
    EXPECT_EQ(records[1].revision, QStringLiteral("2025-11-25"));
    EXPECT_EQ(records[1].arguments, QStringLiteral("{\"command\":\"true\"}"));
    EXPECT_EQ(records[1].outcome, QStringLiteral("ok"));
    EXPECT_DOUBLE_EQ(records[1].durationMs, 1.5);
}

TEST_F(History, IsPrivateToItsOwnerAndInWriteAheadMode)
{
    auto store = opened();
    ASSERT_EQ(store->append({call(QStringLiteral("execute_command"), kStart)}), HistoryStore::Write::Written);
    EXPECT_EQ(QFileInfo(QFileInfo(path()).absolutePath()).permissions() & kNotUserFlags,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& file : {path(), path() + QStringLiteral("-wal")})
        EXPECT_EQ(QFileInfo(file).permissions() & kNotUserFlags, QFile::ReadOwner | QFile::WriteOwner) << file.toStdString();
    const QString name = QStringLiteral("history-test-reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("wal"));
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
        EXPECT_EQ(query.value(0).toInt(), HistoryStore::kSchemaVersion);
    }
    QSqlDatabase::removeDatabase(name);
}

TEST_F(History, FiltersCombineAndPagesFollowEachOtherWithoutGapsOrRepeats)
{
    auto store = opened();
    QList<HistoryRecord> records;
    // Two calls share each millisecond, so that paging has to tell them apart by id.
    for (int i = 0; i < 500; ++i) {
        const QString tool = i % 5 == 0 ? QStringLiteral("read_file") : QStringLiteral("execute_command");
        records.append(call(tool, kStart.addSecs(i / 2), i % 7 == 0 ? QStringLiteral("denied") : QStringLiteral("ok"),
                            i % 2 ? QStringLiteral("client-b") : QStringLiteral("client-a")));
    }
    ASSERT_EQ(store->append(records), HistoryStore::Write::Written);

    HistoryFilter filter;
    filter.tool = QStringLiteral("read_file");
    EXPECT_EQ(store->count(filter), 100);
    filter.errorsOnly = true;
    EXPECT_EQ(store->count(filter), 15); // multiples of 35 below 500
    filter = {};
    filter.since = kStart.addSecs(100);
    filter.until = kStart.addSecs(110);
    filter.client = QStringLiteral("client-b");
    EXPECT_EQ(store->count(filter), 10);
    for (const HistoryRecord& each : store->find(filter, 50)) {
        EXPECT_GE(each.time, kStart.addSecs(100));
        EXPECT_LT(each.time, kStart.addSecs(110));
        EXPECT_EQ(each.clientName, QStringLiteral("client-b"));
    }

    filter = {};
    std::set<qint64> seen;
    QDateTime previous = kStart.addDays(1);
    for (;;) {
        const QList<HistoryRecord> page = store->find(filter, 64);
        if (page.isEmpty())
            break;
        for (const HistoryRecord& each : page) {
            EXPECT_TRUE(seen.insert(each.id).second) << "repeated " << each.id;
            EXPECT_LE(each.time, previous);
            previous = each.time;
        }
        filter.before = std::make_pair(page.last().time, page.last().id);
    }
    EXPECT_EQ(seen.size(), 500u);
    EXPECT_EQ(store->tools(), QStringList({QStringLiteral("execute_command"), QStringLiteral("read_file")}));
    EXPECT_EQ(store->clients(), QStringList({QStringLiteral("client-a"), QStringLiteral("client-b")}));
}

TEST_F(History, RemovesWhatIsOlderThanTheCutoffOrEverything)
{
    auto store = opened();
    ASSERT_EQ(store->append({call(QStringLiteral("a"), kStart.addDays(-31)), call(QStringLiteral("b"), kStart.addDays(-29))}),
              HistoryStore::Write::Written);
    EXPECT_EQ(store->removeOlderThan(kStart.addDays(-30)), 1);
    ASSERT_EQ(store->find({}, 10).size(), 1);
    EXPECT_EQ(store->find({}, 10).first().tool, QStringLiteral("b"));
    EXPECT_EQ(store->removeAll(), 1);
    EXPECT_EQ(store->count({}), 0);
}

TEST_F(History, ADamagedFileOrOneOfAnotherVersionIsMovedAsideAndANewOneStarted)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    {
        QFile garbage(path());
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(8192, 'x'));
    }
    auto store = std::make_unique<HistoryStore>(path());
    HistoryStore::Opening opening = store->open(kStart);
    ASSERT_TRUE(opening.opened) << opening.problem.toStdString();
    EXPECT_EQ(opening.movedAsideTo, path() + QStringLiteral(".broken-20261201T080000000Z"));
    EXPECT_EQ(QFile(opening.movedAsideTo).size(), 8192);
    EXPECT_EQ(store->append({call(QStringLiteral("a"), kStart)}), HistoryStore::Write::Written);
    store.reset();

    const QString name = QStringLiteral("history-test-future");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=99"));
    }
    QSqlDatabase::removeDatabase(name);
    store = std::make_unique<HistoryStore>(path());
    opening = store->open(kStart.addSecs(1));
    ASSERT_TRUE(opening.opened);
    EXPECT_FALSE(opening.movedAsideTo.isEmpty());
    EXPECT_EQ(store->count({}), 0);
    EXPECT_EQ(asideFiles().size(), 2);
}

TEST_F(History, AFolderThatCannotBeMadePrivateKeepsNothing)
{
    const QString folder = QFileInfo(path()).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    ASSERT_TRUE(QFile::link(m_dir.path(), folder));
    HistoryStore store(path());
    const HistoryStore::Opening opening = store.open(kStart);
    EXPECT_FALSE(opening.opened);
    EXPECT_TRUE(opening.problem.contains(QStringLiteral("symbolic link"))) << opening.problem.toStdString();
    EXPECT_EQ(store.append({call(QStringLiteral("a"), kStart)}), HistoryStore::Write::Failed);
}

} // namespace

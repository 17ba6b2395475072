#include "platform/store/QSettingsPreferencesStore.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// An empty lock file as a process killed between creating and filling it leaves behind.
void leaveAbandonedLock(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
}

// A lock whose owner has ended, with the empty lock file that a process killed while removing it
// leaves beside it.
void leaveStaleLockBeingRemoved(const QString& path)
{
    QFile lock(path);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("2147483646\nzarnel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    leaveAbandonedLock(path + QStringLiteral(".rmlock"));
}

TEST(PreferencesStoreLocks, AnUpdateTakesItsLockAfterAProcessDiedWhileTakingOrRemovingEitherLock)
{
    for (const auto leave : {leaveAbandonedLock, leaveStaleLockBeingRemoved}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zarnel.conf"));
        QSettingsPreferencesStore store(path);
        leave(path + QStringLiteral(".update-lock"));
        leave(path + QStringLiteral(".lock"));

        QByteArray owner;
        store.updateExclusively([&] {
            QFile lock(path + QStringLiteral(".update-lock"));
            if (lock.open(QIODevice::ReadOnly))
                owner = lock.readLine().trimmed();
            store.writeInteger(QStringLiteral("stats_totalRequests"), 7);
        });

        EXPECT_EQ(owner, QByteArray::number(QCoreApplication::applicationPid()));
        EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("stats_totalRequests")).toInt(), 7);
        for (const char* left : {".lock", ".lock.rmlock", ".update-lock", ".update-lock.rmlock"})
            EXPECT_FALSE(QFile::exists(path + QLatin1String(left))) << left;
    }
}

// What a lock path can hold that no process can ever take as its lock.
using MakeUntakeableLock = bool (*)(const QString& path);
bool makeFolder(const QString& path)
{
    return QDir().mkdir(path);
}
bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}
bool makeDanglingLink(const QString& path)
{
    return QFile::link(path + QStringLiteral(".gone"), path);
}

// Read as another process would: a second QSettings here would share the first one's unwritten
// changes and try to write them.
int storedInteger(const QString& path, const char* key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + '=';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).toInt();
    }
    return -1;
}

TEST(PreferencesStoreLocks, SomethingElseAtEitherLockPathStopsNoUpdateForLongAndNothingIsLostOnceItIsGone)
{
    for (const MakeUntakeableLock make : {makeFolder, makeFifo, makeDanglingLink}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zarnel.conf"));
        {
            QSettingsPreferencesStore store(path);
            const QString updateLock = path + QStringLiteral(".update-lock");
            ASSERT_TRUE(make(updateLock));
            bool ran = false;
            EXPECT_FALSE(store.updateExclusively([&] { ran = true; }));
            EXPECT_FALSE(ran);
            ASSERT_TRUE(QFile::remove(updateLock) || QDir().rmdir(updateLock));
            EXPECT_TRUE(store.updateExclusively([&] { store.writeInteger(QStringLiteral("first"), 1); }));
            EXPECT_EQ(storedInteger(path, "first"), 1);

            // Here the update is made in memory and written once QSettings can take its lock.
            const QString settingsLock = path + QStringLiteral(".lock");
            ASSERT_TRUE(make(settingsLock));
            EXPECT_TRUE(store.updateExclusively([&] { store.writeInteger(QStringLiteral("second"), 2); }));
            EXPECT_EQ(store.readInteger(QStringLiteral("second")), 2);
            EXPECT_EQ(storedInteger(path, "second"), -1);
            EXPECT_FALSE(store.sync());
            ASSERT_TRUE(QFile::remove(settingsLock) || QDir().rmdir(settingsLock));
            EXPECT_TRUE(store.sync());
            EXPECT_EQ(storedInteger(path, "second"), 2);

            // A store that ends with changes it cannot write ends all the same.
            ASSERT_TRUE(make(settingsLock));
            store.writeInteger(QStringLiteral("third"), 3);
        }
        EXPECT_EQ(storedInteger(path, "third"), -1);
    }
}

} // namespace

// Opened by its name, the user's store must still be the file that QSettings keeps for the
// organization and application, where every earlier version kept the settings.
TEST(PreferencesStoreFile, TheUsersStoreIsTheFileQSettingsKeepsForTheOrganizationAndApplication)
{
    const QString kept =
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tarvonic"), QStringLiteral("zarnel")).fileName();
    EXPECT_EQ(QSettingsPreferencesStore::userStorePath(), kept);
}

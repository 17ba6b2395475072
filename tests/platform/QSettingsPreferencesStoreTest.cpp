#include "platform/QSettingsPreferencesStore.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

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

} // namespace

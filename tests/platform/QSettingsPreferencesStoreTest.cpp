#include "platform/QSettingsPreferencesStore.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// An empty lock file as a process killed between creating and filling it leaves behind.
void leaveAbandonedLock(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
}

TEST(PreferencesStoreLocks, AnUpdateTakesItsLockAfterAProcessDiedWhileTakingEitherLock)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zarnel.conf"));
    QSettingsPreferencesStore store(path);
    leaveAbandonedLock(path + QStringLiteral(".update-lock"));
    leaveAbandonedLock(path + QStringLiteral(".lock"));

    QByteArray owner;
    store.updateExclusively([&] {
        QFile lock(path + QStringLiteral(".update-lock"));
        if (lock.open(QIODevice::ReadOnly))
            owner = lock.readLine().trimmed();
        store.writeInteger(QStringLiteral("stats_totalRequests"), 7);
    });

    EXPECT_EQ(owner, QByteArray::number(QCoreApplication::applicationPid()));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("stats_totalRequests")).toInt(), 7);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
}

} // namespace

#include "app/DesktopLock.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

TEST(DesktopLock, OnlyOneHolderAtATimeAndTheNextTakesItOver)
{
    QTemporaryDir folder;
    {
        DesktopLock first(folder.path());
        ASSERT_TRUE(first.tryAcquire());
        EXPECT_TRUE(first.tryAcquire());
        DesktopLock second(folder.path());
        EXPECT_FALSE(second.tryAcquire());
        EXPECT_TRUE(DesktopLock::isHeldElsewhere(folder.path()));
    }
    EXPECT_FALSE(DesktopLock::isHeldElsewhere(folder.path()));
    DesktopLock next(folder.path());
    EXPECT_TRUE(next.tryAcquire());
}

TEST(DesktopLock, ALockLeftByAProcessThatIsGoneDoesNotBlock)
{
    QTemporaryDir folder;
    // What a killed holder leaves: its process id (long gone), host and program.
    QFile left(folder.filePath(QString::fromLatin1(DesktopLock::kFileName)));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.write("2147483646\nzarnel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    left.close();
    EXPECT_FALSE(DesktopLock::isHeldElsewhere(folder.path()));
    DesktopLock lock(folder.path());
    EXPECT_TRUE(lock.tryAcquire());
}

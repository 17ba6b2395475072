#include "app/DesktopLock.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <utility>
#include <vector>

#include <sys/stat.h>

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
    const QByteArray goneOwner = "2147483646\nzarnel\n" + QSysInfo::machineHostName().toUtf8() + "\n";
    // What a holder leaves when killed after taking the lock, while creating it, and while
    // removing the lock of an earlier holder that is gone.
    const std::vector<std::vector<std::pair<QString, QByteArray>>> leftovers = {
        {{QString(), goneOwner}},
        {{QString(), QByteArray()}},
        {{QString(), goneOwner}, {QStringLiteral(".rmlock"), QByteArray()}},
    };
    for (const auto& files : leftovers) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QString::fromLatin1(DesktopLock::kFileName));
        for (const auto& [suffix, contents] : files) {
            QFile left(path + suffix);
            ASSERT_TRUE(left.open(QIODevice::WriteOnly));
            left.write(contents);
            ASSERT_TRUE(left.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
        }
        EXPECT_FALSE(DesktopLock::isHeldElsewhere(folder.path())) << files.size() << " files, " << files[0].second.size();
        DesktopLock lock(folder.path());
        EXPECT_TRUE(lock.tryAcquire());
    }
}

TEST(DesktopLock, AFifoOrALinkAtItsPathIsRefusedWithoutWaitingAndLeftAsItIs)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QString::fromLatin1(DesktopLock::kFileName));
    const QString target = folder.filePath(QStringLiteral("target"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    const auto makeFifo = [&] { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; };
    const auto makeLink = [&] { return QFile::link(target, path); };
    for (const auto& [make, kind] : {std::pair{std::function<bool()>(makeFifo), "a FIFO"},
                                     std::pair{std::function<bool()>(makeLink), "a symbolic link (not followed)"}}) {
        ASSERT_TRUE(make());
        EXPECT_FALSE(DesktopLock::isHeldElsewhere(folder.path()));
        EXPECT_EQ(DesktopLock::problemAt(folder.path()), path + QStringLiteral(" is %1, not a lock file").arg(QLatin1String(kind)));
        DesktopLock lock(folder.path());
        EXPECT_FALSE(lock.tryAcquire());
        EXPECT_EQ(lock.problem(), DesktopLock::problemAt(folder.path()));
        EXPECT_FALSE(lock.isAcquired());
        EXPECT_TRUE(QFileInfo(path).isSymLink() || QFileInfo(path).exists()) << kind;
        ASSERT_TRUE(QFile::remove(path));
    }
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");
}

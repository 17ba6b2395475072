#include "control/ControlFolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(ControlFolder, IsCreatedPrivateAndRefusedWhenOthersMayEnter)
{
    QTemporaryDir parent;
    ControlFolder created(parent.path() + QStringLiteral("/zarnel"));
    ASSERT_TRUE(created.prepare()) << created.problem().toStdString();
    EXPECT_EQ(QFile::permissions(created.path()) & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), 0);
    EXPECT_TRUE(created.isUsable());

    QFile::setPermissions(created.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                              | QFile::ExeOther);
    ControlFolder open(created.path());
    EXPECT_FALSE(open.prepare());
    EXPECT_TRUE(open.problem().contains(QStringLiteral("0755"))) << open.problem().toStdString();
    EXPECT_FALSE(open.isUsable());

    const QString target = parent.path() + QStringLiteral("/elsewhere");
    QDir().mkdir(target);
    QFile::link(target, parent.path() + QStringLiteral("/link"));
    ControlFolder link(parent.path() + QStringLiteral("/link"));
    EXPECT_FALSE(link.prepare());
    EXPECT_TRUE(link.problem().contains(QStringLiteral("symbolic link")));
}

TEST(ControlFolder, FollowsTheRuntimeFolderVariableAndListsSockets)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    ControlFolder folder;
    EXPECT_EQ(folder.path(), runtime.path() + QStringLiteral("/zarnel"));
    ASSERT_TRUE(folder.prepare());
    for (const char* name : {"12.sock", "3.sock", "x.sock", "7.lock", "5.sock.old", "9sock"})
        QFile(folder.path() + QLatin1Char('/') + QLatin1String(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(folder.socketProcessIds(), (QList<qint64>{3, 12}));
    // No process has pid 0x7fffffff; its socket goes.
    QFile(folder.socketPath(0x7fffffff)).open(QIODevice::WriteOnly);
    EXPECT_TRUE(folder.removeIfAbandoned(0x7fffffff));
    EXPECT_FALSE(QFile::exists(folder.socketPath(0x7fffffff)));
    EXPECT_FALSE(folder.removeIfAbandoned(QCoreApplication::applicationPid()));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(ControlFolder::defaultPath().contains(runtime.path()));
}

} // namespace

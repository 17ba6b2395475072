#include "platform/files/FolderWatch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Runs the event loop until `watch` reports a change or `waitMs` passes; true when it did.
bool reportsChange(FolderWatch& watch, int waitMs)
{
    bool changed = false;
    const QMetaObject::Connection seen = QObject::connect(&watch, &FolderWatch::changed, [&changed] { changed = true; });
    const QDeadlineTimer deadline(waitMs);
    while (!changed && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QObject::disconnect(seen);
    return changed;
}

void write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

// The state file is replaced by a rename and may be removed: both are seen; a write inside a
// file that stays, or a change of its attributes, is not a change of the folder.
TEST(FolderWatch, ReportsEntriesMadeRenamedOverAndRemovedButNotWritesInsideAFileOrItsAttributes)
{
    QTemporaryDir folder;
    const QString state = folder.filePath(QStringLiteral("state"));
    write(state, "stopped");
    FolderWatch watch;
    ASSERT_TRUE(watch.watch(folder.path()));

    write(folder.filePath(QStringLiteral("state.new")), "started");
    EXPECT_TRUE(reportsChange(watch, 10000));
    ASSERT_EQ(
        std::rename(QFile::encodeName(folder.filePath(QStringLiteral("state.new"))).constData(), QFile::encodeName(state).constData()), 0);
    EXPECT_TRUE(reportsChange(watch, 10000));

    write(state, "stopped again");
    ASSERT_TRUE(QFile::setPermissions(state, QFileDevice::ReadOwner));
    EXPECT_FALSE(reportsChange(watch, 300));

    ASSERT_TRUE(QFile::remove(state));
    EXPECT_TRUE(reportsChange(watch, 10000));
}

TEST(FolderWatch, AFolderThatIsNotThereCannotBeWatched)
{
    QTemporaryDir folder;
    FolderWatch watch;
    EXPECT_FALSE(watch.watch(folder.filePath(QStringLiteral("missing"))));
    EXPECT_TRUE(watch.watch(folder.path()));
}

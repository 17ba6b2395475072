#include "server/ResourceSubscriptions.h"
#include "catalog/ResourceManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

void replaceFile(const QString& path, const QByteArray& text)
{
    QSaveFile file(path); // written beside it and renamed over it, as editors save
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    ASSERT_TRUE(file.commit());
}

// Bursts and rewrites in place are checked end to end; a file replaced by a rename, again and
// again, must stay watched.
TEST(Subscriptions, KeepWatchingAFileThatIsReplacedByARename)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("watched.txt"));
    replaceFile(path, "one");
    ResourceSubscriptions subscriptions;
    subscriptions.setInterval(100);
    QStringList updates;
    QObject::connect(&subscriptions, &ResourceSubscriptions::updated, [&](const QString& uri) { updates.append(uri); });
    subscriptions.subscribe(QStringLiteral("file://") + path, path);

    for (const int expected : {1, 2}) {
        replaceFile(path, QByteArray::number(expected));
        QDeadlineTimer deadline(3000);
        while (updates.size() < expected && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(updates, QStringList(expected, QStringLiteral("file://") + path));
    }
}

TEST(FileUris, DecodePercentEscapesAndAcceptOnlyLocalHosts)
{
    EXPECT_EQ(ResourceManager::filePathForUri(QStringLiteral("file:///tmp/a%20b.txt")), QStringLiteral("/tmp/a b.txt"));
    EXPECT_EQ(ResourceManager::filePathForUri(QStringLiteral("file://localhost/tmp/a%20b.txt")), QStringLiteral("/tmp/a b.txt"));
    EXPECT_EQ(ResourceManager::filePathForUri(QStringLiteral("file:///tmp/%C3%A9")), QStringLiteral("/tmp/\u00e9"));
    EXPECT_FALSE(ResourceManager::filePathForUri(QStringLiteral("file://host/tmp/a")));
    EXPECT_FALSE(ResourceManager::filePathForUri(QStringLiteral("file:///tmp/%FF")));
    EXPECT_FALSE(ResourceManager::filePathForUri(QStringLiteral("file:///tmp/%00")));
    EXPECT_FALSE(ResourceManager::filePathForUri(QStringLiteral("zarnel://tools")));
}

} // namespace

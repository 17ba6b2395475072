#include "catalog/ResourceManager.h"
#include "server/ResourceSubscriptions.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

class Subscriptions : public ::testing::Test {
protected:
    ResourceSubscriptions subscriptions;
    QStringList updates;

    void SetUp() override
    {
        subscriptions.setInterval(100);
        QObject::connect(&subscriptions, &ResourceSubscriptions::updated, [this](const QString& uri) { updates.append(uri); });
    }

    void waitFor(int count, int timeoutMs = 3000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (updates.size() < count && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

TEST_F(Subscriptions, ReportsOnlySubscribedResources)
{
    subscriptions.resourceChanged(QStringLiteral("zarnel://statistics"));
    subscriptions.subscribe(QStringLiteral("zarnel://activity-log"));
    subscriptions.resourceChanged(QStringLiteral("zarnel://activity-log"));
    waitFor(1);
    EXPECT_EQ(updates, QStringList{"zarnel://activity-log"});
    subscriptions.unsubscribe(QStringLiteral("zarnel://activity-log"));
    subscriptions.resourceChanged(QStringLiteral("zarnel://activity-log"));
    waitFor(2, 300);
    EXPECT_EQ(updates.size(), 1);
}

TEST_F(Subscriptions, CoalescesABurstIntoOneUpdate)
{
    subscriptions.subscribe(QStringLiteral("zarnel://activity-log"));
    for (int i = 0; i < 50; ++i)
        subscriptions.resourceChanged(QStringLiteral("zarnel://activity-log"));
    EXPECT_TRUE(updates.isEmpty()); // reported at the end of the interval
    waitFor(1);
    waitFor(2, 300);
    EXPECT_EQ(updates.size(), 1);
    subscriptions.resourceChanged(QStringLiteral("zarnel://activity-log"));
    waitFor(2);
    EXPECT_EQ(updates.size(), 2);
}

TEST_F(Subscriptions, ReportsAFileRewrittenInPlaceOrReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("watched.txt"));
    QFile::remove(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("one");
    file.close();
    const QString uri = QStringLiteral("file://") + path;
    subscriptions.subscribe(uri, path);

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("two, longer");
    file.close();
    waitFor(1);
    EXPECT_EQ(updates, QStringList{uri});

    QSaveFile replacement(path); // written beside it and renamed over it
    ASSERT_TRUE(replacement.open(QIODevice::WriteOnly));
    replacement.write("three");
    ASSERT_TRUE(replacement.commit());
    waitFor(2);
    EXPECT_EQ(updates.size(), 2);
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

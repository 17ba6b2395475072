#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QSettings>
#include <QThread>

namespace {

// The save timer runs every 5 seconds; allow for a busy machine on top.
constexpr int kSaveWaitMs = 8000;

QVariant storedValue(const TemporaryHome& home, const char* key)
{
    return QSettings(home.preferencesPath(), QSettings::IniFormat).value(QString::fromLatin1(key));
}

std::size_t storedConnections(const TemporaryHome& home)
{
    return nlohmann::json::parse(storedValue(home, "stats_connectionHistory").toByteArray().toStdString(), nullptr, false).size();
}

// Polls the preferences file the way another program would see it.
bool waitForStoredRequests(const TemporaryHome& home, int expected, ZarnelProcess& zarnel)
{
    QDeadlineTimer deadline(kSaveWaitMs);
    while (!deadline.hasExpired() && zarnel.isRunning()) {
        if (storedValue(home, "stats_totalRequests").toInt() == expected)
            return true;
        QThread::msleep(100);
    }
    return false;
}

TEST(StatisticsPersistence, RequestsReachThePreferencesFileAndARestartContinuesFromThem)
{
    TemporaryHome home;
    {
        ZarnelProcess zarnel(home);
        ASSERT_TRUE(zarnel.start());
        ASSERT_TRUE(zarnel.initialize());
        ASSERT_TRUE(zarnel.request("tools/list"));
        ASSERT_TRUE(zarnel.request("ping"));
        EXPECT_TRUE(waitForStoredRequests(home, 3, zarnel)) << zarnel.standardError().toStdString();

        zarnel.process().terminate();
        ASSERT_TRUE(zarnel.waitForExit());
        EXPECT_EQ(zarnel.process().exitCode(), 0);
        EXPECT_GT(storedValue(home, "stats_totalUptime").toDouble(), 0.0);
    }

    ZarnelProcess restarted(home);
    ASSERT_TRUE(restarted.start());
    ASSERT_TRUE(restarted.initialize());
    restarted.closeInput();
    ASSERT_TRUE(restarted.waitForExit());
    EXPECT_EQ(storedValue(home, "stats_totalRequests").toInt(), 4);
    EXPECT_EQ(storedConnections(home), 2u);
}

TEST(StatisticsPersistence, TwoInstancesSharingOneStoreLoseNoCounts)
{
    TemporaryHome home;
    ZarnelProcess desktop(home);
    ZarnelProcess client(home);
    ASSERT_TRUE(desktop.start());
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(desktop.initialize());
    ASSERT_TRUE(client.initialize());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(desktop.request("ping"));
        ASSERT_TRUE(client.request("ping"));
        ASSERT_TRUE(client.request("tools/list"));
    }
    desktop.process().terminate();
    client.closeInput();
    ASSERT_TRUE(desktop.waitForExit());
    ASSERT_TRUE(client.waitForExit());

    EXPECT_EQ(storedValue(home, "stats_totalRequests").toInt(), 2 + 5 * 3);
    EXPECT_EQ(storedConnections(home), 2u);
}

} // namespace

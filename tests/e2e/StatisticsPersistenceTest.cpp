#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>

#include <random>

#include <signal.h>

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

// The user's settings as a hand-edited file holds them, none at its default.
const QMap<QString, QVariant> kUserSettings = {
    {QStringLiteral("autoStartServer"), true},
    {QStringLiteral("showNotifications"), false},
    {QStringLiteral("logLevel"), QStringLiteral("debug")},
    {QStringLiteral("maxLogEntries"), 250},
    {QStringLiteral("enableToolLogging"), false},
    {QStringLiteral("requireConfirmation"), true},
    {QStringLiteral("commandTimeout"), 45},
    {QStringLiteral("launchAtLogin"), true},
};

// What one look at the preferences file found: the damage, if any, and the stored request count.
struct StoredState {
    std::string damage;
    qint64 totalRequests = 0;
};

StoredState inspect(const TemporaryHome& home)
{
    StoredState state;
    QSettings stored(home.preferencesPath(), QSettings::IniFormat);
    if (stored.status() != QSettings::NoError)
        state.damage = "the file does not parse";
    for (auto it = kUserSettings.constBegin(); it != kUserSettings.constEnd() && state.damage.empty(); ++it) {
        if (stored.value(it.key()).toString() != it.value().toString())
            state.damage = "lost the setting " + it.key().toStdString();
    }
    for (const char* key : {"stats_toolUsage", "stats_connectionHistory"}) {
        const QVariant value = stored.value(QString::fromLatin1(key));
        if (value.isValid() && !nlohmann::json::parse(value.toByteArray().toStdString(), nullptr, false).is_array())
            state.damage = std::string(key) + " is not a JSON array";
    }
    state.totalRequests = stored.value(QStringLiteral("stats_totalRequests")).toLongLong();
    return state;
}

// Starts zarnel, has it record a little and end its input, so that it saves on the way out.
bool startSavingRun(ZarnelProcess& zarnel, bool keepDiagnostics = false)
{
    if (!keepDiagnostics)
        zarnel.process().setStandardErrorFile(QProcess::nullDevice());
    if (!zarnel.start())
        return false;
    QByteArray input;
    for (int i = 0; i < 20; ++i) {
        input += R"({"jsonrpc":"2.0","id":)" + QByteArray::number(i)
            + R"(,"method":"tools/call","params":{"name":"list_running_apps","arguments":{}}})"
              "\n";
    }
    zarnel.write(input);
    zarnel.closeInput();
    return true;
}

TEST(StatisticsPersistence, KillingTheProcessAtAnyMomentOfItsSaveNeverDamagesThePreferencesFile)
{
    TemporaryHome home;
    home.writePreferences(kUserSettings);

    // How long a run takes from the end of its input to its exit, which its last save falls in.
    qint64 windowUs = 0;
    {
        ZarnelProcess zarnel(home, /*autoStart=*/false);
        ASSERT_TRUE(startSavingRun(zarnel));
        QElapsedTimer elapsed;
        elapsed.start();
        ASSERT_TRUE(zarnel.waitForExit());
        windowUs = std::max<qint64>(elapsed.nsecsElapsed() / 1000, 1000);
    }
    const StoredState first = inspect(home);
    ASSERT_EQ(first.damage, "");
    ASSERT_GE(first.totalRequests, 20);

    std::mt19937 random(4242);
    qint64 lastRequests = first.totalRequests;
    int killedWhileRunning = 0;
    for (int round = 0; round < 40; ++round) {
        ZarnelProcess zarnel(home, /*autoStart=*/false);
        ASSERT_TRUE(startSavingRun(zarnel));
        // Every other kill falls in the last part of the run, where the save is.
        const qint64 from = round % 2 == 0 ? 0 : windowUs * 3 / 5;
        QThread::usleep(std::uniform_int_distribution<qint64>(from, windowUs * 5 / 4)(random));
        const auto pid = static_cast<pid_t>(zarnel.process().processId());
        if (pid > 0)
            ::kill(pid, SIGKILL);
        ASSERT_TRUE(zarnel.waitForExit());
        if (zarnel.process().exitStatus() == QProcess::CrashExit)
            ++killedWhileRunning;
        else // ended before the kill: the first run was slower than the runs now (a busy machine)
            windowUs = std::max<qint64>(windowUs * 4 / 5, 1000);

        const StoredState state = inspect(home);
        ASSERT_EQ(state.damage, "") << "after round " << round;
        // A save either happened in full or not at all.
        ASSERT_GE(state.totalRequests, lastRequests) << "after round " << round;
        lastRequests = state.totalRequests;
    }
    // The runs went on afterwards: a killed save left no lock that stops the next process.
    ZarnelProcess last(home, /*autoStart=*/false);
    ASSERT_TRUE(startSavingRun(last, /*keepDiagnostics=*/true));
    // Well below the 30 seconds a lock file left empty by a killed process used to cost.
    ASSERT_TRUE(last.waitForExit(8000)) << last.standardError().toStdString();
    EXPECT_GE(inspect(home).totalRequests, lastRequests + 20);
    EXPECT_GT(killedWhileRunning, 10);
    std::printf("crash safety: %d of 40 runs killed while running (window %lld us)\n", killedWhileRunning,
                static_cast<long long>(windowUs));
}

} // namespace

#include "control/ActivityNotifications.h"
#include "control/ControlServer.h"
#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/ActivityLog.h"
#include "state/DesktopNotifier.h"
#include "state/SettingsManager.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/PendingConfirmation.h"
#include "support/RecordingNotificationService.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// The desktop instance's notifications, fed by this process and by a second, headless zarnel
// that a client drives.
class NotifiedActivity : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(control.listen()) << control.problem().toStdString(); }

    bool logsOf(const RunningInstances& instances, const QString& message)
    {
        const auto merged = instances.mergedLog();
        return std::any_of(merged.begin(), merged.end(),
                           [&](const InstanceLogEntry& each) { return each.entry.message.startsWith(message); });
    }

    TemporaryHome home;
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    FakeClock clock{QDateTime::currentDateTimeUtc()};
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlFolder folder{home.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/zarnel")};
    ControlServer control{components, folder};
    RecordingNotificationService service;
    DesktopNotifier notifier{components.settings(), service, clock};
    ActivityNotifications notified{notifier, clock.now()};
};

TEST_F(NotifiedActivity, TellsOfEveryProcesssConnectionsAndFailuresOnce)
{
    // The client connects before this process looks for the other one.
    ZarnelProcess second(home);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.initialize().has_value());

    RunningInstances instances(folder);
    notified.follow(components.activityLog());
    notified.follow(instances);
    ASSERT_TRUE(waitUntil([&] { return instances.processCount() == 2; })) << "the second process was not found";
    EXPECT_EQ(service.posted, QStringList{QStringLiteral("Client connected | zarnel-tests 1.0")});

    // Failures here and there within ten seconds of that make one notification; this process's
    // own entry comes both from its log and from its socket, and counts once.
    ASSERT_TRUE(second.callTool("read_file", {{"path", (home.path() + QStringLiteral("/missing")).toStdString()}}).has_value());
    components.activityLog().add(QStringLiteral("Tool error: launch_app"), LogType::Error);
    ASSERT_TRUE(waitUntil([&] {
        return logsOf(instances, QStringLiteral("Tool error: read_file")) && logsOf(instances, QStringLiteral("Tool error: launch_app"));
    }));
    EXPECT_EQ(service.posted.size(), 1);
    clock.advance(10'000);
    notifier.postDue();
    EXPECT_EQ(service.posted.value(1).section(QLatin1Char('|'), 0, 0), QStringLiteral("2 tool calls failed "));
}

TEST_F(NotifiedActivity, LeavesOutWhatWasLoggedBeforeItStartedWatching)
{
    const auto entry = [&](qint64 msecsFromNow, const char* message) {
        return ActivityLogEntry{QUuid::createUuid(), clock.now().addMSecs(msecsFromNow), QString::fromLatin1(message), LogType::Info};
    };
    notified.take(entry(-1, "Connected: Old v1"));
    EXPECT_TRUE(service.posted.isEmpty());
    const ActivityLogEntry fresh = entry(0, "Connected: New v2");
    notified.take(fresh);
    notified.take(fresh);
    clock.advance(10'000);
    notifier.postDue();
    EXPECT_EQ(service.posted, QStringList{QStringLiteral("Client connected | New 2")});
}

} // namespace

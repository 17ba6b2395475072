#include "control/RunningInstances.h"

#include "control/ControlServer.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/ProcessEvents.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

namespace {

TEST(RunningInstances, FindsAProcessAsItsSocketAppearsWithoutWaitingForTheNextLook)
{
    TemporaryHome home;
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    FakeClock clock{QDateTime::currentDateTimeUtc()};
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    const ControlFolder folder{home.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/zarnel")};
    ControlServer control{components, folder};
    ASSERT_TRUE(control.listen()) << control.problem().toStdString();

    // Looked at only once an hour besides: only the folder's changes can bring the second in.
    RunningInstances instances(folder, nullptr, 3600 * 1000);
    ASSERT_TRUE(waitUntil([&] { return instances.processCount() == 1; }));
    ZarnelProcess second(home);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.initialize().has_value());
    EXPECT_TRUE(waitUntil([&] { return instances.processCount() == 2; }));

    // And goes when its socket does.
    second.closeInput();
    ASSERT_TRUE(second.waitForExit());
    EXPECT_TRUE(waitUntil([&] { return instances.processCount() == 1; }));
}

} // namespace

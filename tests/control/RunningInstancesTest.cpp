#include "control/RunningInstances.h"

#include "support/ControlledProcess.h"
#include "support/ProcessEvents.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

namespace {

TEST(RunningInstances, FindsAProcessAsItsSocketAppearsWithoutWaitingForTheNextLook)
{
    TemporaryHome home;
    ControlledProcess first(home);
    ASSERT_TRUE(first.control.listen()) << first.control.problem().toStdString();

    // Looked at only once an hour besides: only the folder's changes can bring the second in.
    RunningInstances instances(first.folder, nullptr, 3600 * 1000);
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

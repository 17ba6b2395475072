#include "app/LaunchRole.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

TEST(LaunchRole, AClientsPipeOrSocketMakesAClientLaunchAndEverythingElseTheUsers)
{
    const struct {
        StandardInputKind input;
        LaunchRole role;
    } cases[] = {
        {StandardInputKind::Pipe, LaunchRole::ClientLaunched}, {StandardInputKind::Socket, LaunchRole::ClientLaunched},
        {StandardInputKind::Terminal, LaunchRole::User},       {StandardInputKind::NullDevice, LaunchRole::User},
        {StandardInputKind::File, LaunchRole::User},           {StandardInputKind::Closed, LaunchRole::User},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseLaunchRole(true, c.input), c.role) << static_cast<int>(c.input);
        EXPECT_EQ(chooseLaunchRole(false, c.input), LaunchRole::Headless) << static_cast<int>(c.input);
    }
}

TEST(StandardInput, TellsAPipeFromTheNullDeviceAndAFile)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    EXPECT_EQ(StandardInput::kind(ends[0]), StandardInputKind::Pipe);
    ::close(ends[0]);
    ::close(ends[1]);
    EXPECT_EQ(StandardInput::kind(ends[0]), StandardInputKind::Closed);

    const int null = ::open("/dev/null", O_RDONLY);
    EXPECT_EQ(StandardInput::kind(null), StandardInputKind::NullDevice);
    ::close(null);
    const int file = ::open("/proc/self/exe", O_RDONLY);
    EXPECT_EQ(StandardInput::kind(file), StandardInputKind::File);
    ::close(file);
}

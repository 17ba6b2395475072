#include "platform/LinuxSystemInformation.h"

#include <gtest/gtest.h>

TEST(LinuxSystemInformation, ReadsTheKernelNumbersFromItsRelease)
{
    int major = -1, minor = -1, patch = -1;
    LinuxSystemInformation::parseKernelRelease(QStringLiteral("6.1.0-18-amd64"), &major, &minor, &patch);
    EXPECT_EQ((std::tuple{major, minor, patch}), (std::tuple{6, 1, 0}));
    LinuxSystemInformation::parseKernelRelease(QStringLiteral("5.15"), &major, &minor, &patch);
    EXPECT_EQ((std::tuple{major, minor, patch}), (std::tuple{5, 15, 0}));
}

TEST(LinuxSystemInformation, DescribesThisMachine)
{
    const SystemSnapshot facts = LinuxSystemInformation().snapshot();
    EXPECT_FALSE(facts.operatingSystem.isEmpty());
    EXPECT_GE(facts.processorCount, facts.activeProcessorCount);
    EXPECT_GE(facts.activeProcessorCount, 1);
    EXPECT_GT(facts.physicalMemoryBytes, 0u);
    EXPECT_FALSE(facts.hostName.isEmpty());
    ASSERT_TRUE(facts.rootTotalBytes && facts.rootFreeBytes);
    EXPECT_LE(*facts.rootFreeBytes, *facts.rootTotalBytes);
    EXPECT_GT(facts.uptimeSeconds, 0);
}

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

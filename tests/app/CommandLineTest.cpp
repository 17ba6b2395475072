#include "app/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, ServesWithoutArgumentsAndRefusesAnUnknownOne)
{
    using Kind = CommandLine::Invocation::Kind;
    EXPECT_EQ(CommandLine::parse({QStringLiteral("zarnel")}).kind, Kind::Serve);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("zarnel"), QStringLiteral("--version")}).kind, Kind::Version);
    const auto unknown = CommandLine::parse({QStringLiteral("zarnel"), QStringLiteral("--frobnicate")});
    EXPECT_EQ(unknown.kind, Kind::UsageError);
    EXPECT_TRUE(unknown.text.contains(QStringLiteral("--frobnicate"))) << unknown.text.toStdString();
}

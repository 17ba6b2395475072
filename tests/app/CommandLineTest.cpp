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

TEST(CommandLine, TakesNegativeNumbersAsValuesAndEchoesAnUnknownOptionAsTyped)
{
    using Kind = CommandLine::Invocation::Kind;
    const auto parse = [](QStringList arguments) {
        arguments.prepend(QStringLiteral("zarnel"));
        return CommandLine::parse(arguments);
    };
    const auto negative = parse({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("maxLogEntries"), QStringLiteral("-1")});
    EXPECT_EQ(negative.kind, Kind::SubCommand) << negative.text.toStdString();
    EXPECT_EQ(negative.arguments, (QStringList{QStringLiteral("set"), QStringLiteral("maxLogEntries"), QStringLiteral("-1")}));
    const auto withOption =
        parse({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("x"), QStringLiteral("-2.5e3"), QStringLiteral("--json")});
    EXPECT_TRUE(withOption.json);
    EXPECT_EQ(withOption.arguments.value(2), QStringLiteral("-2.5e3"));

    for (const QString& typed : {QStringLiteral("--frobnicate"), QStringLiteral("-x"), QStringLiteral("--colour=red")}) {
        const auto unknown = parse({QStringLiteral("status"), typed});
        EXPECT_EQ(unknown.kind, Kind::UsageError);
        EXPECT_EQ(unknown.text, QStringLiteral("unknown option '%1'").arg(typed.section(QLatin1Char('='), 0, 0)));
    }
}

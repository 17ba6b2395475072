#include "platform/processes/ProgramFailure.h"

#include <gtest/gtest.h>

TEST(ProgramFailure, TakesTheFirstLineThatSaysSomethingAndNothingThatCouldGarbleIt)
{
    EXPECT_EQ(ProgramFailure::firstErrorLine(""), QString());
    EXPECT_EQ(ProgramFailure::firstErrorLine("\n \r\n\t\n"), QString());
    EXPECT_EQ(ProgramFailure::firstErrorLine("\n  \x1b[31mMissing a seat\x1b[0m\r\nwl-copy: second line\n"),
              QStringLiteral("[31mMissing a seat[0m"));
    EXPECT_EQ(ProgramFailure::firstErrorLine("bad\tbyte \xff here"), QStringLiteral("bad byte \uFFFD here"));

    const QString cut = ProgramFailure::firstErrorLine(QByteArray(5000, 'x') + "\nnext");
    EXPECT_EQ(cut.size(), 300);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
}

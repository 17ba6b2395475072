#include "server/VisibleText.h"

#include <gtest/gtest.h>

namespace {

TEST(VisibleText, ShowsEveryCharacterThatCouldHideOrTurnTheText)
{
    EXPECT_EQ(VisibleText::escaped(QStringLiteral("a\nb\r\nc\td")), QStringLiteral("a\u23CEb\\r\u23CEc\\td"));
    EXPECT_EQ(VisibleText::escaped(QStringLiteral("a\u2028b\u2029c\u0085d\x1b[2Je")),
              QStringLiteral("a\\u2028b\\u2029c\\u0085d\\u001b[2Je"));
    // Bidirectional overrides and zero-width characters, in the basic plane and beyond it.
    EXPECT_EQ(VisibleText::escaped(QStringLiteral("rm \u202Etxt.sh\u200B")), QStringLiteral("rm \\u202etxt.sh\\u200b"));
    EXPECT_EQ(VisibleText::escaped(QString::fromUcs4(U"x\U000E0001y")), QStringLiteral("x\\u{e0001}y"));
    // What is visible stays as it is, whatever its script.
    const QString visible = QString::fromUcs4(U"caf\u00e9 \u65e5\u672c \U0001F600 \\n \"quoted\"");
    EXPECT_EQ(VisibleText::escaped(visible), visible);
}

TEST(VisibleText, CountsLinesAsTheTextWouldShowThem)
{
    EXPECT_EQ(VisibleText::extent(QStringLiteral("one line")), QStringLiteral("1 line, 8 characters"));
    EXPECT_EQ(VisibleText::extent(QStringLiteral("a\r\nb\nc")), QStringLiteral("3 lines, 6 characters"));
    EXPECT_EQ(VisibleText::extent(QStringLiteral("a\u2028b\u2029c\rd")), QStringLiteral("4 lines, 7 characters"));
    EXPECT_EQ(VisibleText::extent(QString::fromUcs4(U"\U0001F600")), QStringLiteral("1 line, 1 character"));
    EXPECT_EQ(VisibleText::extent(QString()), QStringLiteral("1 line, 0 characters"));
}

TEST(VisibleText, StatesTheExtentOfAQuestionOnlyWhenSomethingWasShownDifferently)
{
    EXPECT_EQ(VisibleText::question(QStringLiteral("Allow delete_file to delete /tmp/x?")),
              QStringLiteral("Allow delete_file to delete /tmp/x?"));
    EXPECT_EQ(VisibleText::question(QStringLiteral("Allow x to run: a\nb?")),
              QStringLiteral("Allow x to run: a\u23CEb? (2 lines, 20 characters)"));
}

} // namespace

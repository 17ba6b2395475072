#include "platform/FilePath.h"

#include <gtest/gtest.h>

TEST(FilePath, AppendsAComponentAfterExactlyOneSlash)
{
    EXPECT_EQ(FilePath("/tmp").child("a").text(), "/tmp/a");
    EXPECT_EQ(FilePath("/tmp//").child("a").text(), "/tmp/a");
    EXPECT_EQ(FilePath("/").child("a").text(), "/a");
    EXPECT_EQ(FilePath("/tmp/.").child("a").text(), "/tmp/./a");
}

TEST(FilePath, KeepsTheBytesOfANameThatIsNotUtf8AndShowsThemReplaced)
{
    const FilePath child = FilePath("/tmp").child("bad\xFFname");

    EXPECT_EQ(child.native(), QByteArray("/tmp/bad\xFFname"));
    EXPECT_EQ(child.text(), QString::fromUtf8("/tmp/bad\xEF\xBF\xBDname"));
    EXPECT_EQ(child.child("x").native(), QByteArray("/tmp/bad\xFFname/x"));
}

TEST(FilePath, RemovesTheLastComponent)
{
    EXPECT_EQ(FilePath("/a/b/c.txt").parent().text(), "/a/b");
    EXPECT_EQ(FilePath("/a/b/").parent().text(), "/a");
    EXPECT_EQ(FilePath("/a").parent().text(), "/");
    EXPECT_EQ(FilePath("/").parent().text(), "/");
    EXPECT_EQ(FilePath("a").parent().text(), "");
}

#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/ListDirectoryTool.h"

#include <QDateTime>

#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class ListDirectory : public FileSystemToolTest {
protected:
    void SetUp() override
    {
        writeBytes("Zeta.txt", QByteArray(1500, 'z'));
        writeBytes("alpha/inner/deep.txt", "1");
        writeBytes("alpha/b.md", QByteArray(512, 'b'));
        writeBytes(".hidden", "");
        makeLink(path("alpha"), "link");
        for (const char* item : {"Zeta.txt", "alpha/inner/deep.txt", "alpha/b.md", ".hidden", "alpha/inner", "alpha"})
            setModified(QString::fromUtf8(item));
    }
    void setModified(const QString& relative)
    {
        struct timespec times[2] = {{m_time, 0}, {m_time, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(relative).toUtf8().constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    // The time every entry was given, as the listing shows it in local time.
    std::string stamp() const
    {
        return QDateTime::fromSecsSinceEpoch(m_time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    }
    MCPToolCallResponse list(const Json& arguments) { return callTool(m_tool, arguments); }

    const time_t m_time = 1700000000;
    ListDirectoryTool m_tool{m_files};
};

TEST_F(ListDirectory, WritesOneLinePerVisibleEntryInCodePointOrder)
{
    const std::string linkLine = "📄 link (" + std::to_string(path("alpha").toUtf8().size()) + " bytes) - ";
    const std::string text = success(list({{"path", pathText()}}));

    EXPECT_EQ(text.substr(0, text.find(linkLine)),
              "Contents of " + pathText()
                  + ":\n\n"
                    "📄 Zeta.txt (1.5 KB) - "
                  + stamp()
                  + "\n"
                    "📁 alpha - "
                  + stamp() + "\n");
    EXPECT_NE(text.find(linkLine), std::string::npos) << text;
    EXPECT_EQ(text.find(".hidden"), std::string::npos);

    const std::string hidden = success(list({{"path", pathText()}, {"include_hidden", true}}));
    EXPECT_EQ(hidden.find("📄 .hidden (0 bytes) - " + stamp() + "\n📄 Zeta.txt"), std::string("Contents of " + pathText() + ":\n\n").size());
}

TEST_F(ListDirectory, IndentsEachLevelOfARecursiveListingByTwoSpacesWithoutFollowingLinks)
{
    const std::string text = success(list({{"path", pathText("alpha")}, {"recursive", true}}));

    EXPECT_EQ(text,
              "Contents of " + pathText("alpha")
                  + ":\n\n"
                    "📄 b.md (512 bytes) - "
                  + stamp()
                  + "\n"
                    "📁 inner - "
                  + stamp()
                  + "\n"
                    "  📄 deep.txt (1 byte) - "
                  + stamp() + "\n");
    const std::string top = success(list({{"path", pathText()}, {"recursive", true}}));
    EXPECT_NE(top.find("\n  📁 inner - "), std::string::npos);
    EXPECT_EQ(top.find("\n  📄 b.md"), top.rfind("\n  📄 b.md")) << "the link to alpha was followed:\n" << top;
}

TEST_F(ListDirectory, ListsTheCurrentDirectoryByDefaultAndFailsForAMissingPathAndForAFile)
{
    makeDirectory("empty");
    CurrentDirectoryGuard guard(path("empty"));

    EXPECT_EQ(success(list(Json::object())), "Contents of " + pathText("empty") + "/.:\n\n");
    EXPECT_EQ(success(list({{"path", 7}})), "Contents of " + pathText("empty") + "/.:\n\n");
    EXPECT_EQ(failure(list({{"path", pathText("missing")}})), "Directory not found: " + pathText("missing"));
    EXPECT_EQ(failure(list({{"path", pathText("Zeta.txt")}})), "Failed to list directory: Not a directory");
}

TEST_F(ListDirectory, ShowsNamesThatAreNotUtf8WithReplacementCharacters)
{
    makeDirectory("odd");
    writeBytes("odd/x", "");
    ASSERT_EQ(::rename(path("odd/x").toUtf8().constData(), (path("odd").toUtf8() + "/bad\xFFname").constData()), 0);

    const std::string text = success(list({{"path", pathText("odd")}}));

    EXPECT_NE(text.find("📄 bad\xEF\xBF\xBDname (0 bytes) - "), std::string::npos) << text;
}

TEST_F(ListDirectory, EscapesControlCharactersSoANameCannotFakeAnotherEntry)
{
    makeDirectory("odd");
    writeBytes("odd/two\n📁 lines", "");
    writeBytes(QStringLiteral("odd/bell\a"), "");

    const std::string text = success(list({{"path", pathText("odd")}}));

    EXPECT_NE(text.find("📄 two\\n📁 lines (0 bytes) - "), std::string::npos) << text;
    EXPECT_NE(text.find("📄 bell\\x07 (0 bytes) - "), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}

TEST_F(ListDirectory, MarksAnUnreadableSubdirectoryAndListsTheRestAsAnUnprivilegedUser)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every directory; the suite runs this test again as another user";
    writeBytes("tree/closed/secret.txt", "");
    writeBytes("tree/open/visible.txt", "");
    ASSERT_EQ(::chmod(path("tree/closed").toUtf8().constData(), 0), 0);

    const std::string text = success(list({{"path", pathText("tree")}, {"recursive", true}}));
    const std::string closed = failure(list({{"path", pathText("tree/closed")}}));
    ::chmod(path("tree/closed").toUtf8().constData(), 0700);

    EXPECT_NE(text.find("📁 closed - "), std::string::npos) << text;
    EXPECT_NE(text.find("\n  (not listed: Permission denied)\n📁 open - "), std::string::npos) << text;
    EXPECT_NE(text.find("\n  📄 visible.txt (0 bytes) - "), std::string::npos) << text;
    EXPECT_EQ(closed, "Failed to list directory: Permission denied");
}

TEST_F(ListDirectory, ReportsTheEntriesListedSoFarOfTheFoldersCountWhenThatIsKnown)
{
    ProgressRecord flat;
    success(callTool(m_tool, {{"path", pathText()}}, flat.token));
    ASSERT_FALSE(flat.reports().empty());
    EXPECT_EQ(flat.reports()[0].progress, 1);
    EXPECT_EQ(flat.reports()[0].total, 3); // .hidden is not listed
    EXPECT_EQ(flat.reports()[0].message, QStringLiteral("1 of 3 entries listed"));

    // A recursive listing cannot know its length before it ends.
    ProgressRecord tree;
    success(callTool(m_tool, {{"path", pathText()}, {"recursive", true}}, tree.token));
    ASSERT_FALSE(tree.reports().empty());
    EXPECT_EQ(tree.reports()[0].progress, 1);
    EXPECT_TRUE(std::isnan(tree.reports()[0].total));
    EXPECT_EQ(tree.reports()[0].message, QStringLiteral("1 entry listed"));
}

} // namespace

#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/SearchFilesTool.h"

#include <algorithm>

namespace {

class SearchFiles : public FileSystemToolTest {
protected:
    MCPToolCallResponse search(Json arguments)
    {
        if (!arguments.contains("directory"))
            arguments["directory"] = pathText();
        return callTool(m_tool, arguments);
    }
    // The paths found, relative to the tree and sorted (the walk follows the directory's order).
    std::vector<std::string> found(const Json& arguments)
    {
        const QStringList lines = QString::fromStdString(success(search(arguments))).split(u'\n');
        if (!lines.front().startsWith(QStringLiteral("Found ")))
            return {lines.join(u'\n').toStdString()};
        std::vector<std::string> paths;
        for (const QString& line : lines.mid(2))
            paths.push_back(line.mid(path().size() + 1).toStdString());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    using Paths = std::vector<std::string>;
    SearchFilesTool m_tool{m_files};
};

TEST_F(SearchFiles, FindsOnlyLiteralDotsAndWholeNamesAndKeepsOtherRegularExpressionSyntax)
{
    for (const char* name :
         {"a.txt", "a.TXT", "a.txt.bak", "atxt", "b.md", "ab.md", "x/c.txt", "aab", "a+b", "file1.txt", "file2.txt", "file3.txt"})
        writeBytes(name, "");

    EXPECT_EQ(found({{"pattern", "*.txt"}}), (Paths{"a.txt", "file1.txt", "file2.txt", "file3.txt", "x/c.txt"}));
    EXPECT_EQ(found({{"pattern", "?.md"}}), (Paths{"b.md"}));
    EXPECT_EQ(found({{"pattern", "a.txt"}}), (Paths{"a.txt"}));
    EXPECT_EQ(found({{"pattern", "a+b"}}), (Paths{"aab"}));
    EXPECT_EQ(found({{"pattern", "file[12].txt"}}), (Paths{"file1.txt", "file2.txt"}));
    EXPECT_EQ(success(search({{"pattern", "["}})), "No files found matching pattern: [");
}

TEST_F(SearchFiles, FindsLongNamesWithRunsOfStars)
{
    const std::string name = "~" + std::string(40, 'x') + "0" + std::string(40, 'y') + "0" + std::string(40, 'z');
    writeBytes(name.c_str(), "");
    writeBytes("~00", "");

    EXPECT_EQ(found({{"pattern", "~***0*******0***"}}), (Paths{"~00", name}));
    EXPECT_EQ(found({{"pattern", "~**0*"}}), (Paths{"~00", name}));
    EXPECT_EQ(found({{"pattern", "~*?**?*?*0*?*******0***"}}), (Paths{name}));
    EXPECT_EQ(found({{"pattern", "~??"}}), (Paths{"~00"}));
}

TEST_F(SearchFiles, CountsTheResultsAndTestsADirectoryItselfBeforeItsContents)
{
    writeBytes("logs/logs", "");

    EXPECT_EQ(success(search({{"pattern", "logs"}})),
              "Found 2 file(s) matching 'logs':\n\n" + pathText("logs") + "\n" + pathText("logs/logs"));
}

TEST_F(SearchFiles, StopsAtMaxResultsGivenAsAnIntegerOrADecimalString)
{
    for (int i = 0; i < 5; ++i)
        writeBytes(QStringLiteral("d%1/match.txt").arg(i), "");
    for (int i = 0; i < 120; ++i)
        writeBytes(QStringLiteral("many/m%1.dat").arg(i), "");

    EXPECT_EQ(found({{"pattern", "match.txt"}, {"max_results", 2}}).size(), 2u);
    EXPECT_EQ(found({{"pattern", "match.txt"}, {"max_results", "2"}}).size(), 2u);
    EXPECT_EQ(found({{"pattern", "*.dat"}, {"max_results", "200"}}).size(), 120u);
    EXPECT_EQ(found({{"pattern", "*.dat"}, {"max_results", "2 files"}}).size(), 100u);
    EXPECT_EQ(found({{"pattern", "*.dat"}, {"max_results", 2.5}}).size(), 100u);
    EXPECT_EQ(success(search({{"pattern", "match.txt"}, {"max_results", 0}})), "No files found matching pattern: match.txt");
}

TEST_F(SearchFiles, IncludesHiddenNamesShowsNamesThatAreNotUtf8AndStaysAtTheTopWhenNotRecursive)
{
    writeBytes(".env.txt", "");
    writeBytes("sub/deep.txt", "");
    writeBytes("x", "");
    ASSERT_EQ(::rename(path("x").toUtf8().constData(), (path().toUtf8() + "/bad\xFF.txt").constData()), 0);

    EXPECT_EQ(found({{"pattern", "*.txt"}}), (Paths{".env.txt", "bad\xEF\xBF\xBD.txt", "sub/deep.txt"}));
    EXPECT_EQ(found({{"pattern", "*.txt"}, {"recursive", false}}), (Paths{".env.txt", "bad\xEF\xBF\xBD.txt"}));
    EXPECT_EQ(found({{"pattern", "*"}, {"recursive", false}}), (Paths{".env.txt", "bad\xEF\xBF\xBD.txt", "sub"}));
}

TEST_F(SearchFiles, FollowsLinksToDirectoriesButSearchesEachDirectoryOnce)
{
    writeBytes("a/b/file.txt", "");
    makeLink(path("a"), "a/b/back-to-a");
    writeBytes("elsewhere/linked.txt", "");
    makeLink(path("elsewhere"), "a/link");

    // "elsewhere" is reached twice: whichever way comes first in the listing is searched.
    const Paths paths = found({{"pattern", "*.txt"}});
    EXPECT_TRUE(paths == (Paths{"a/b/file.txt", "a/link/linked.txt"}) || paths == (Paths{"a/b/file.txt", "elsewhere/linked.txt"}))
        << testing::PrintToString(paths);
    EXPECT_EQ(found({{"pattern", "back-to-a"}}), (Paths{"a/b/back-to-a"}));
}

TEST_F(SearchFiles, EndsADiamondOfLinksAndALinkToTheRoot)
{
    // Each level links twice to the next: 2^30 ways down, thirty-one directories.
    makeDirectory("d0");
    for (int level = 0; level < 30; ++level) {
        makeDirectory(QStringLiteral("d%1").arg(level + 1));
        makeLink(path(QStringLiteral("d%1").arg(level + 1)), QStringLiteral("d%1/left").arg(level));
        makeLink(path(QStringLiteral("d%1").arg(level + 1)), QStringLiteral("d%1/right").arg(level));
    }
    writeBytes("d30/bottom.txt", "");
    makeLink(QStringLiteral("/"), "d0/root");

    EXPECT_EQ(found({{"pattern", "bottom.txt"}, {"directory", pathText("d0")}, {"max_results", 5}}).size(), 1u);
}

TEST_F(SearchFiles, MatchesPlainWildcardsWithoutTheExpressionEnginesLimit)
{
    // Found by fuzzing: the expression engine gave up on this pair and reported no match.
    const std::string name = "r...grr.qqqqqqqqqq..................................................................................";
    writeBytes(QString::fromStdString(name), "");
    EXPECT_EQ(found({{"pattern",
                      "r**.*..***grr**.???*???*????.*..*..****.......................................................................*..**."
                      ".*..**"}}),
              (Paths{name}));
    EXPECT_EQ(found({{"pattern", "*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*b"}}),
              Paths{"No files found matching pattern: *?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*b"});
}

TEST_F(SearchFiles, SaysSoWhenAnExpressionIsTooComplexInsteadOfFindingNothing)
{
    writeBytes(QString(40, u'a') + QLatin1Char('b'), "");

    EXPECT_TRUE(failure(search({{"pattern", "(*a){12}"}})).starts_with("Pattern too complex"));
    EXPECT_EQ(found({{"pattern", "(a)*b"}}), (Paths{std::string(40, 'a') + "b"}));
}

TEST_F(SearchFiles, EscapesControlCharactersSoANameCannotFakeAnotherResult)
{
    writeBytes(QStringLiteral("evil.txt\n/etc/passwd.txt"), "");
    writeBytes(QStringLiteral("tab\there.txt"), "");

    EXPECT_EQ(found({{"pattern", "*.txt"}}), (Paths{"evil.txt\\n/etc/passwd.txt", "tab\\there.txt"}));
}

TEST_F(SearchFiles, SearchesTheCurrentDirectoryByDefaultAndNothingInAMissingOne)
{
    writeBytes("here.md", "");
    CurrentDirectoryGuard guard(path());

    EXPECT_EQ(success(callTool(m_tool, {{"pattern", "here.md"}})), "Found 1 file(s) matching 'here.md':\n\n" + pathText() + "/./here.md");
    EXPECT_EQ(success(search({{"pattern", "*"}, {"directory", pathText("missing")}})), "No files found matching pattern: *");
    EXPECT_EQ(failure(search({{"directory", pathText()}})), "Missing required argument: pattern");
}

TEST_F(SearchFiles, ReturnsWhatItHasWhenCancelled)
{
    writeBytes("a.txt", "");
    CancellationToken cancellation;
    cancellation.cancel();
    EXPECT_EQ(success(callTool(m_tool, {{"pattern", "*"}, {"directory", pathText()}}, cancellation)), "No files found matching pattern: *");
}

TEST_F(SearchFiles, ReportsTheDirectoriesAndEntriesVisited)
{
    for (const char* name : {"a.txt", "b.txt", "inner/c.txt"})
        writeBytes(name, "");
    ProgressRecord progress;
    success(callTool(m_tool, {{"pattern", "*.md"}, {"directory", pathText()}}, progress.token));
    ASSERT_FALSE(progress.reports().empty());
    EXPECT_EQ(progress.reports()[0].progress, 3);
    EXPECT_EQ(progress.reports()[0].message, QStringLiteral("1 directories and 3 entries visited"));
}

} // namespace

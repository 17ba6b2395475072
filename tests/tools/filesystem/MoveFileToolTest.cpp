#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/MoveFileTool.h"

namespace {

class MoveFile : public FileSystemToolTest {
protected:
    MCPToolCallResponse move(const Json& arguments) { return callTool(m_tool, arguments); }
    MoveFileTool m_tool{m_files};
};

TEST_F(MoveFile, RenamesFilesAndMovesDirectoriesWithTheirContents)
{
    writeBytes("a.txt", "a");
    writeBytes("dir/sub/b.txt", "b");
    makeDirectory("target");

    EXPECT_EQ(success(move({{"source", pathText("a.txt")}, {"destination", pathText("renamed.txt")}})),
              "Successfully moved from " + pathText("a.txt") + " to " + pathText("renamed.txt"));
    EXPECT_EQ(success(move({{"source", pathText("dir")}, {"destination", pathText("target/dir")}})),
              "Successfully moved from " + pathText("dir") + " to " + pathText("target/dir"));
    EXPECT_FALSE(exists("a.txt"));
    EXPECT_EQ(readBytes("renamed.txt"), "a");
    EXPECT_EQ(readBytes("target/dir/sub/b.txt"), "b");
}

TEST_F(MoveFile, NeverReplacesAnExistingDestination)
{
    writeBytes("a.txt", "a");
    writeBytes("b.txt", "b");
    makeLink(path("nowhere"), "dangling");

    EXPECT_EQ(failure(move({{"source", pathText("a.txt")}, {"destination", pathText("b.txt")}})), "Failed to move: File exists");
    EXPECT_EQ(failure(move({{"source", pathText("a.txt")}, {"destination", pathText("dangling")}})), "Failed to move: File exists");
    EXPECT_EQ(readBytes("a.txt"), "a");
    EXPECT_EQ(readBytes("b.txt"), "b");
}

TEST_F(MoveFile, MovesADanglingLinkAsItIs)
{
    makeLink(QStringLiteral("nowhere"), "dangling");

    EXPECT_EQ(success(move({{"source", pathText("dangling")}, {"destination", pathText("moved")}})),
              "Successfully moved from " + pathText("dangling") + " to " + pathText("moved"));
    EXPECT_EQ(QFileInfo(path("moved")).symLinkTarget(), path("nowhere"));
    EXPECT_FALSE(exists("dangling"));
}

TEST_F(MoveFile, ChecksItsArgumentsAndTheSource)
{
    EXPECT_EQ(failure(move({{"source", pathText("a.txt")}})), "Missing required arguments");
    EXPECT_EQ(failure(move({{"destination", pathText("a.txt")}})), "Missing required arguments");
    EXPECT_EQ(failure(move({{"source", pathText("missing")}, {"destination", pathText("x")}})), "Source not found: " + pathText("missing"));
    makeDirectory("dir");
    EXPECT_EQ(failure(move({{"source", pathText("dir")}, {"destination", pathText("dir/inside")}})), "Failed to move: Invalid argument");
}

TEST_F(MoveFile, RefusesDotOrDotDotAsEitherEndAndTouchesNothing)
{
    writeBytes("box/sub/file.txt", "keep");
    makeLink(path("box"), "link");

    for (const char* named : {"box/.", "box/sub/..", "link/.", "link/./"}) {
        EXPECT_EQ(failure(move({{"source", pathText(named)}, {"destination", pathText("moved")}})),
                  "Refusing to move '.' or '..': name the folder itself")
            << named;
        EXPECT_EQ(failure(move({{"source", pathText("box/sub/file.txt")}, {"destination", pathText(named)}})),
                  "Refusing to move onto '.' or '..': name the destination itself")
            << named;
    }
    EXPECT_FALSE(exists("moved"));
    EXPECT_EQ(readBytes("box/sub/file.txt"), "keep");
    EXPECT_TRUE(exists("link"));
}

TEST_F(MoveFile, RefusesDotAcrossFileSystemsBeforeCopyingAnythingInAPrivateMountNamespace)
{
    writeBytes("box/sub/file.txt", "keep");
    if (!mountAt("elsewhere", "size=64k"))
        GTEST_SKIP() << "runs in the suite's private mount namespace only";

    EXPECT_EQ(failure(move({{"source", pathText("box/.")}, {"destination", pathText("elsewhere/moved")}})),
              "Refusing to move '.' or '..': name the folder itself");
    EXPECT_EQ(readBytes("box/sub/file.txt"), "keep");
    EXPECT_FALSE(exists("elsewhere/moved"));
}

} // namespace

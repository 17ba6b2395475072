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

} // namespace

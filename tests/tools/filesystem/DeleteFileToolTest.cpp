#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/DeleteFileTool.h"

namespace {

class DeleteFile : public FileSystemToolTest {
protected:
    MCPToolCallResponse remove(const Json& arguments) { return callTool(m_tool, arguments); }
    DeleteFileTool m_tool{m_files};
};

TEST_F(DeleteFile, RemovesADirectoryTreeWhateverRecursiveSays)
{
    writeBytes("tree/a/b/c.txt", "x");
    writeBytes("tree/.hidden", "x");
    makeDirectory("tree/empty");
    writeBytes("outside/keep.txt", "keep");
    makeLink(path("outside"), "tree/a/link-to-outside");

    EXPECT_EQ(success(remove({{"path", pathText("tree")}, {"recursive", false}})), "Successfully deleted: " + pathText("tree"));
    EXPECT_FALSE(exists("tree"));
    // A link inside the tree goes; what it points to stays.
    EXPECT_EQ(readBytes("outside/keep.txt"), "keep");
}

TEST_F(DeleteFile, RemovesALinkNotItsTargetAndThenTheFile)
{
    writeBytes("target.txt", "keep");
    makeLink(path("target.txt"), "link");

    EXPECT_EQ(success(remove({{"path", pathText("link")}})), "Successfully deleted: " + pathText("link"));
    EXPECT_FALSE(exists("link"));
    EXPECT_EQ(readBytes("target.txt"), "keep");
    EXPECT_EQ(success(remove({{"path", pathText("target.txt")}})), "Successfully deleted: " + pathText("target.txt"));
    EXPECT_FALSE(exists("target.txt"));
}

TEST_F(DeleteFile, AnswersPathNotFoundForNothingThere)
{
    EXPECT_EQ(failure(remove({{"path", pathText("missing")}})), "Path not found: " + pathText("missing"));
    EXPECT_EQ(failure(remove({{"path", true}})), "Missing required argument: path");
}

} // namespace

#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/DeleteFileTool.h"

namespace {

class DeleteFile : public FileSystemToolTest {
protected:
    MCPToolCallResponse remove(const Json& arguments) { return callTool(m_tool, arguments); }
    DeleteFileTool m_tool{m_files};
};

TEST_F(DeleteFile, RemovesANonEmptyDirectoryOnlyWhenAskedToRecurse)
{
    writeBytes("tree/a/b/c.txt", "x");
    writeBytes("tree/.hidden", "x");
    makeDirectory("tree/empty");
    writeBytes("outside/keep.txt", "keep");
    makeLink(path("outside"), "tree/a/link-to-outside");

    for (const Json& notRecursive : {Json(false), Json("false"), Json("yes"), Json(1), Json()}) {
        Json arguments = {{"path", pathText("tree")}};
        if (!notRecursive.is_null())
            arguments["recursive"] = notRecursive;
        EXPECT_EQ(failure(remove(arguments)), "Failed to delete: Directory not empty");
        EXPECT_EQ(readBytes("tree/a/b/c.txt"), "x");
    }
    EXPECT_EQ(success(remove({{"path", pathText("tree/empty")}})), "Successfully deleted: " + pathText("tree/empty"));
    EXPECT_FALSE(exists("tree/empty"));

    // The word is taken as the boolean, as assistants shown a schema in text write it.
    EXPECT_EQ(success(remove({{"path", pathText("tree")}, {"recursive", "true"}})), "Successfully deleted: " + pathText("tree"));
    EXPECT_FALSE(exists("tree"));
    // A link inside the tree goes; what it points to stays.
    EXPECT_EQ(readBytes("outside/keep.txt"), "keep");
}

TEST_F(DeleteFile, RemovesALinkToADirectoryItselfEvenWithATrailingSlash)
{
    writeBytes("data/keep.txt", "keep");
    makeLink(path("data"), "link");
    makeLink(path("data"), "other-link");

    EXPECT_EQ(success(remove({{"path", pathText("link") + "/"}, {"recursive", true}})), "Successfully deleted: " + pathText("link") + "/");
    EXPECT_FALSE(exists("link"));
    EXPECT_EQ(success(remove({{"path", pathText("other-link") + "//"}})), "Successfully deleted: " + pathText("other-link") + "//");
    EXPECT_FALSE(exists("other-link"));
    EXPECT_EQ(readBytes("data/keep.txt"), "keep");
    // A file is no directory, whatever the trailing slash asks.
    EXPECT_EQ(failure(remove({{"path", pathText("data/keep.txt") + "/"}})), "Failed to delete: Not a directory");
    EXPECT_EQ(readBytes("data/keep.txt"), "keep");
}

TEST_F(DeleteFile, RemovesADanglingLink)
{
    makeLink(path("gone"), "dangling");

    EXPECT_EQ(success(remove({{"path", pathText("dangling")}})), "Successfully deleted: " + pathText("dangling"));
    EXPECT_FALSE(exists("dangling"));
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

TEST_F(DeleteFile, NeverCrossesIntoAnotherMountInAPrivateMountNamespace)
{
    writeBytes("tree/a/file.txt", "ours");
    writeBytes("outside/keep.txt", "keep");
    if (!mountAt("tree/b/mounted", "size=64k"))
        GTEST_SKIP() << "runs in the suite's private mount namespace only";
    writeBytes("tree/b/mounted/theirs.txt", "theirs");

    EXPECT_EQ(failure(remove({{"path", pathText("tree")}, {"recursive", true}})),
              "Failed to delete: A file system is mounted at " + pathText("tree/b/mounted") + "; nothing was deleted");
    EXPECT_EQ(failure(remove({{"path", pathText("tree/b/mounted")}, {"recursive", true}})),
              "Failed to delete: A file system is mounted at " + pathText("tree/b/mounted") + "; nothing was deleted");
    EXPECT_EQ(readBytes("tree/a/file.txt"), "ours");
    EXPECT_EQ(readBytes("tree/b/mounted/theirs.txt"), "theirs");

    // A folder of the same file system mounted elsewhere shares its device: still another mount.
    ASSERT_TRUE(mountAt("other/bound", nullptr, "outside"));
    EXPECT_EQ(failure(remove({{"path", pathText("other")}, {"recursive", true}})),
              "Failed to delete: A file system is mounted at " + pathText("other/bound") + "; nothing was deleted");
    EXPECT_EQ(readBytes("outside/keep.txt"), "keep");
}

} // namespace

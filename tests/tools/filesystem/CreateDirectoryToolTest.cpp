#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/CreateDirectoryTool.h"

namespace {

class CreateDirectory : public FileSystemToolTest {
protected:
    MCPToolCallResponse create(const Json& arguments) { return callTool(m_tool, arguments); }
    CreateDirectoryTool m_tool{m_files};
};

TEST_F(CreateDirectory, CreatesIntermediatesByDefaultAcceptsAnExistingDirectoryAndResolvesRelativePaths)
{
    EXPECT_EQ(success(create({{"path", pathText("a/b/c")}})), "Successfully created directory: " + pathText("a/b/c"));
    EXPECT_TRUE(QFileInfo(path("a/b/c")).isDir());
    EXPECT_EQ(success(create({{"path", pathText("a/b/c")}})), "Successfully created directory: " + pathText("a/b/c"));
    EXPECT_EQ(success(create({{"path", pathText("a/x/../y/")}, {"create_intermediate", "no"}})),
              "Successfully created directory: " + pathText("a/x/../y/"));
    EXPECT_TRUE(QFileInfo(path("a/y")).isDir());

    CurrentDirectoryGuard guard(path());
    EXPECT_EQ(success(create({{"path", "new"}})), "Successfully created directory: " + pathText("new"));
    EXPECT_TRUE(QFileInfo(path("new")).isDir());
}

TEST_F(CreateDirectory, WithoutIntermediatesNeedsTheParentAndANewName)
{
    EXPECT_EQ(failure(create({{"path", pathText("p/q")}, {"create_intermediate", false}})),
              "Failed to create directory: No such file or directory");
    EXPECT_FALSE(exists("p"));
    EXPECT_EQ(success(create({{"path", pathText("p")}, {"create_intermediate", false}})),
              "Successfully created directory: " + pathText("p"));
    EXPECT_EQ(failure(create({{"path", pathText("p")}, {"create_intermediate", false}})), "Failed to create directory: File exists");
}

TEST_F(CreateDirectory, FailsWhereAFileStands)
{
    writeBytes("file", "x");

    EXPECT_EQ(failure(create({{"path", pathText("file")}})), "Failed to create directory: File exists");
    EXPECT_EQ(failure(create({{"path", pathText("file/sub")}})), "Failed to create directory: Not a directory");
    EXPECT_EQ(failure(create({{"recursive", true}})), "Missing required argument: path");
}

TEST_F(CreateDirectory, RefusesDotOrDotDotAsTheLastNameAndCreatesNothing)
{
    for (const char* named : {"new/.", "new/..", "new/./"}) {
        EXPECT_EQ(failure(create({{"path", pathText(named)}})), "Refusing to create '.' or '..': name the folder itself") << named;
        EXPECT_FALSE(exists("new")) << named;
    }
}

} // namespace

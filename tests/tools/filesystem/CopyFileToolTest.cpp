#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/CopyFileTool.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class CopyFile : public FileSystemToolTest {
protected:
    MCPToolCallResponse copy(const Json& arguments) { return callTool(m_tool, arguments); }
    CopyFileTool m_tool{m_files};
};

TEST_F(CopyFile, CopiesAFileWithItsPermissionsAndModificationTime)
{
    writeBytes("script.sh", "#!/bin/sh\n");
    ::chmod(path("script.sh").toUtf8().constData(), 0751);
    const struct timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
    ::utimensat(AT_FDCWD, path("script.sh").toUtf8().constData(), times, 0);

    EXPECT_EQ(success(copy({{"source", pathText("script.sh")}, {"destination", pathText("copy.sh")}})),
              "Successfully copied from " + pathText("script.sh") + " to " + pathText("copy.sh"));
    EXPECT_EQ(readBytes("copy.sh"), "#!/bin/sh\n");
    struct stat info;
    ASSERT_EQ(::stat(path("copy.sh").toUtf8().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    EXPECT_EQ(info.st_mtim.tv_sec, 1600000000);
}

TEST_F(CopyFile, CopiesADirectoryTreeKeepingLinksAsLinks)
{
    writeBytes("tree/a/b.txt", "b");
    writeBytes("tree/.hidden", "h");
    makeDirectory("tree/empty");
    makeLink(QStringLiteral("a/b.txt"), "tree/link");

    EXPECT_EQ(success(copy({{"source", pathText("tree")}, {"destination", pathText("copy")}})),
              "Successfully copied from " + pathText("tree") + " to " + pathText("copy"));
    EXPECT_EQ(readBytes("copy/a/b.txt"), "b");
    EXPECT_EQ(readBytes("copy/.hidden"), "h");
    EXPECT_TRUE(QFileInfo(path("copy/empty")).isDir());
    EXPECT_EQ(QFileInfo(path("copy/link")).symLinkTarget(), path("copy/a/b.txt"));
    EXPECT_EQ(readBytes("tree/a/b.txt"), "b");
}

TEST_F(CopyFile, NeverReplacesAnExistingDestinationAndChecksItsArguments)
{
    writeBytes("a.txt", "a");
    writeBytes("b.txt", "b");
    makeDirectory("dir");

    EXPECT_EQ(failure(copy({{"source", pathText("a.txt")}, {"destination", pathText("b.txt")}})), "Failed to copy: File exists");
    EXPECT_EQ(failure(copy({{"source", pathText("a.txt")}, {"destination", pathText("dir")}})), "Failed to copy: File exists");
    EXPECT_EQ(readBytes("b.txt"), "b");
    EXPECT_EQ(failure(copy({{"source", pathText("a.txt")}, {"destination", 3}})), "Missing required arguments");
    EXPECT_EQ(failure(copy({{"source", pathText("missing")}, {"destination", pathText("x")}})), "Source not found: " + pathText("missing"));
}

TEST_F(CopyFile, RemovesWhatAFailedCopyCreatedSoThatARetryWorks)
{
    writeBytes("tree/a/first.txt", "1");
    writeBytes("tree/z/last.txt", "2");
    // A socket cannot be copied.
    makeSocket("tree/a/socket");

    EXPECT_EQ(failure(copy({{"source", pathText("tree")}, {"destination", pathText("copy")}})), "Failed to copy: Operation not supported");
    EXPECT_FALSE(exists("copy"));
    ASSERT_EQ(::unlink(path("tree/a/socket").toUtf8().constData()), 0);
    EXPECT_EQ(success(copy({{"source", pathText("tree")}, {"destination", pathText("copy")}})),
              "Successfully copied from " + pathText("tree") + " to " + pathText("copy"));
    EXPECT_EQ(readBytes("copy/z/last.txt"), "2");
}

TEST_F(CopyFile, RefusesToCopyADirectoryIntoItself)
{
    writeBytes("dir/a.txt", "a");

    makeDirectory("dir/sub");
    EXPECT_EQ(failure(copy({{"source", pathText("dir")}, {"destination", pathText("dir/sub/copy")}})),
              "Failed to copy: Cannot copy a directory into itself");
    EXPECT_EQ(failure(copy({{"source", pathText("dir")}, {"destination", pathText("dir/copy")}})),
              "Failed to copy: Cannot copy a directory into itself");
    EXPECT_FALSE(exists("dir/copy"));
}

TEST_F(CopyFile, RefusesDotOrDotDotAsTheDestinationButCopiesFromThem)
{
    writeBytes("box/file.txt", "keep");
    makeDirectory("new");
    EXPECT_EQ(failure(copy({{"source", pathText("box/file.txt")}, {"destination", pathText("new/.")}})),
              "Refusing to copy onto '.' or '..': name the destination itself");
    EXPECT_TRUE(success(copy({{"source", pathText("box/.")}, {"destination", pathText("new/box")}})).starts_with("Successfully copied"));
    EXPECT_EQ(readBytes("new/box/file.txt"), "keep");
}

TEST_F(CopyFile, KeepsTheHolesOfASparseFileAndItsDataWhereItWas)
{
    // Data at the start, a hole of 16 MiB, data, and a hole to the end.
    constexpr off_t kHole = 16 << 20;
    {
        QFile file(path("sparse.img"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'a'));
        ASSERT_TRUE(file.seek(4096 + kHole));
        file.write(QByteArray(4096, 'b'));
        ASSERT_TRUE(file.resize(2 * 4096 + 2 * kHole));
    }
    const auto allocated = [this](const char* name) {
        struct stat info {};
        ::stat(path(name).toUtf8().constData(), &info);
        return static_cast<qint64>(info.st_blocks) * 512;
    };
    if (allocated("sparse.img") >= kHole)
        GTEST_SKIP() << "this file system does not keep holes";

    EXPECT_TRUE(success(copy({{"source", pathText("sparse.img")}, {"destination", pathText("copy.img")}})).starts_with("Successfully"));
    EXPECT_EQ(readBytes("copy.img"), readBytes("sparse.img"));
    EXPECT_LT(allocated("copy.img"), kHole);
}

} // namespace

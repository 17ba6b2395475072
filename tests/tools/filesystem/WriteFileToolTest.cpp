#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/WriteFileTool.h"

#include <sys/stat.h>

namespace {

class WriteFile : public FileSystemToolTest {
protected:
    MCPToolCallResponse write(const Json& arguments) { return callTool(m_tool, arguments); }
    QStringList entries(const QString& relative) const
    {
        return QDir(path(relative)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static mode_t permissions(const QString& file)
    {
        struct stat info;
        return ::stat(file.toUtf8().constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
    }
    WriteFileTool m_tool{m_files};
};

TEST_F(WriteFile, CreatesMissingDirectoriesAndWritesUtf8Text)
{
    const auto response = write({{"path", pathText("a/b/c.txt")}, {"content", "grüße\n"}});

    EXPECT_EQ(success(response), "Successfully wrote to " + pathText("a/b/c.txt"));
    EXPECT_EQ(readBytes("a/b/c.txt"),
              QByteArray("gr\xC3\xBC\xC3\x9F"
                         "e\n"));
}

TEST_F(WriteFile, ReplacesAFileWholeKeepingItsPermissionsAndLeavesNoTemporaryFile)
{
    writeBytes("dir/config.ini", "old contents that are longer than the new ones");
    ::chmod(path("dir/config.ini").toUtf8().constData(), 0640);

    EXPECT_EQ(success(write({{"path", pathText("dir/config.ini")}, {"content", "new"}})),
              "Successfully wrote to " + pathText("dir/config.ini"));
    EXPECT_EQ(readBytes("dir/config.ini"), "new");
    EXPECT_EQ(permissions(path("dir/config.ini")), 0640u);
    EXPECT_EQ(entries("dir"), QStringList{"config.ini"});
}

TEST_F(WriteFile, WritesThroughASymbolicLinkInsteadOfReplacingIt)
{
    writeBytes("real/settings.conf", "old");
    makeLink(path("real/settings.conf"), "settings.conf");

    EXPECT_EQ(success(write({{"path", pathText("settings.conf")}, {"content", "new"}})),
              "Successfully wrote to " + pathText("settings.conf"));
    EXPECT_TRUE(QFileInfo(path("settings.conf")).isSymLink());
    EXPECT_EQ(readBytes("real/settings.conf"), "new");
}

TEST_F(WriteFile, DecodesStrictBase64)
{
    EXPECT_EQ(success(write({{"path", pathText("pixel.bin")}, {"content", "iVBORw0KGgo="}, {"base64", true}})),
              "Successfully wrote to " + pathText("pixel.bin"));
    EXPECT_EQ(readBytes("pixel.bin"), QByteArray::fromHex("89504e470d0a1a0a"));
    // Without base64 true the same text is written as it stands.
    write({{"path", pathText("plain.txt")}, {"content", "iVBORw0KGgo="}, {"base64", "yes"}});
    EXPECT_EQ(readBytes("plain.txt"), "iVBORw0KGgo=");

    // Invalid input is refused, but the directories made for it stay.
    for (const char* content : {"aGVs bG8=", "aGVsbG8!", "aGVsbG8", "aG==VsbG8=", "aGVsbG8=\n"}) {
        SCOPED_TRACE(content);
        EXPECT_EQ(failure(write({{"path", pathText("new/dir/x.bin")}, {"content", content}, {"base64", true}})), "Invalid base64 content");
    }
    EXPECT_TRUE(QFileInfo(path("new/dir")).isDir());
    EXPECT_FALSE(exists("new/dir/x.bin"));
}

TEST_F(WriteFile, NeedsBothArgumentsAndReportsTheSystemsDescriptionWhenTheWriteFails)
{
    EXPECT_EQ(failure(write({{"path", pathText("x.txt")}})), "Missing required arguments");
    EXPECT_EQ(failure(write({{"content", "text"}})), "Missing required arguments");
    EXPECT_EQ(failure(write({{"path", pathText("x.txt")}, {"content", 12}})), "Missing required arguments");
    EXPECT_FALSE(exists("x.txt"));
    writeBytes("file.txt", "a file, not a directory");
    makeDirectory("folder");

    EXPECT_EQ(failure(write({{"path", pathText("file.txt/child.txt")}, {"content", "x"}})), "Failed to write file: Not a directory");
    EXPECT_EQ(failure(write({{"path", pathText("folder")}, {"content", "x"}})), "Failed to write file: Is a directory");
    EXPECT_EQ(failure(write({{"path", pathText("folder")}, {"content", "eA=="}, {"base64", true}})),
              "Failed to write file: Is a directory");
}

} // namespace

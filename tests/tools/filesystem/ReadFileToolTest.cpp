#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/ReadFileTool.h"

namespace {

class ReadFile : public FileSystemToolTest {
protected:
    MCPToolCallResponse read(const Json& arguments, CancellationToken cancellation = {})
    {
        return callTool(m_tool, arguments, std::move(cancellation));
    }
    ReadFileTool m_tool{m_files};
};

TEST_F(ReadFile, ReturnsUtf8TextExactlyAsOneItem)
{
    static const char kText[] = "héllo\n\xF0\x9F\x93\x84 with a NUL \0 inside\r\n";
    const QByteArray text(kText, sizeof kText - 1);
    writeBytes("notes.txt", text);
    writeBytes("empty.txt", {});

    EXPECT_EQ(success(read({{"path", pathText("notes.txt")}})), text.toStdString());
    EXPECT_EQ(success(read({{"path", pathText("empty.txt")}})), "");
}

TEST_F(ReadFile, ReportsBytesThatAreNotUtf8AsBinaryWithBase64)
{
    writeBytes("pixel.png", QByteArray::fromHex("89504e470d0a1a0a"));
    // UTF-16 is not UTF-8, whatever "encoding" says.
    writeBytes("wide.txt", QByteArray::fromHex("fffe6800690000d8"));

    const auto png = read({{"path", pathText("pixel.png")}});
    EXPECT_FALSE(png.isError.has_value());
    EXPECT_EQ(texts(png), (std::vector<std::string>{"File is binary (8 bytes)", "Base64: iVBORw0KGgo="}));
    const auto wide = read({{"path", pathText("wide.txt")}, {"encoding", "utf16"}});
    EXPECT_EQ(texts(wide), (std::vector<std::string>{"File is binary (8 bytes)", "Base64: //5oAGkAANg="}));
}

TEST_F(ReadFile, JoinsRelativePathsToTheCurrentDirectoryAndNothingElse)
{
    writeBytes("docs/a.txt", "relative");
    CurrentDirectoryGuard guard(path());

    EXPECT_EQ(success(read({{"path", "docs/a.txt"}})), "relative");
    EXPECT_EQ(failure(read({{"path", "notes.txt"}})), "File not found: " + pathText("notes.txt"));
    EXPECT_EQ(failure(read({{"path", "~/notes.txt"}})), "File not found: " + pathText("~/notes.txt"));
    EXPECT_EQ(success(read({{"path", "./docs/../docs/a.txt"}})), "relative");
}

TEST_F(ReadFile, FailsWithTheSystemsDescriptionOrForAMissingPath)
{
    makeDirectory("folder");
    makeLink(path("gone"), "dangling");

    EXPECT_EQ(failure(read({{"path", pathText("folder")}})), "Failed to read file: Is a directory");
    EXPECT_EQ(failure(read({{"path", pathText("dangling")}})), "File not found: " + pathText("dangling"));
    EXPECT_EQ(failure(read(Json::object())), "Missing required argument: path");
    EXPECT_EQ(failure(read({{"path", 5}})), "Missing required argument: path");
    EXPECT_EQ(failure(read({{"path", nullptr}})), "Missing required argument: path");
}

TEST_F(ReadFile, RefusesFilesLargerThanTheLimitInsteadOfExhaustingMemory)
{
    QFile sparse(path("huge.log"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(FileManager::kMaxReadBytes + 1));
    sparse.close();

    EXPECT_EQ(failure(read({{"path", pathText("huge.log")}})),
              "Failed to read file: File too large (67108865 bytes; the limit is 67108864)");
    // A device has no size to check up front; the limit holds on what is read.
    EXPECT_EQ(failure(read({{"path", "/dev/zero"}})),
              "Failed to read file: File too large (more than 67108864 bytes; the limit is 67108864)");
}

TEST_F(ReadFile, StopsWhenTheCallIsCancelled)
{
    writeBytes("notes.txt", "text");
    CancellationToken cancellation;
    cancellation.cancel();

    EXPECT_EQ(failure(read({{"path", pathText("notes.txt")}}, cancellation)), "Failed to read file: Operation canceled");
}

} // namespace

#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/ReadFileTool.h"

#include <sys/sysmacros.h>

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
    writeBytes("wide.txt", QByteArray::fromHex("fffe680069003d00"));

    const auto png = read({{"path", pathText("pixel.png")}});
    EXPECT_FALSE(png.isError.has_value());
    EXPECT_EQ(texts(png), (std::vector<std::string>{"File is binary (8 bytes)", "Base64: iVBORw0KGgo="}));
    EXPECT_EQ(texts(read({{"path", pathText("wide.txt")}, {"encoding", "utf8"}})),
              (std::vector<std::string>{"File is binary (8 bytes)", "Base64: //5oAGkAPQA="}));
}

TEST_F(ReadFile, DecodesUtf16ByItsByteOrderMarkAndAsciiStrictly)
{
    writeBytes("le.txt", QByteArray::fromHex("fffe6800e9003dd801de"));
    writeBytes("be.txt", QByteArray::fromHex("feff006800e9"));
    writeBytes("bare.txt", QByteArray::fromHex("6800e900"));
    writeBytes("odd.txt", QByteArray::fromHex("680069"));
    writeBytes("lone.txt", QByteArray::fromHex("00d86800"));
    writeBytes("plain.txt", "plain text\n");
    writeBytes("accent.txt", "caf\xC3\xA9");

    EXPECT_EQ(success(read({{"path", pathText("le.txt")}, {"encoding", "utf16"}})), "h\xC3\xA9\xF0\x9F\x98\x81");
    EXPECT_EQ(success(read({{"path", pathText("be.txt")}, {"encoding", "utf16"}})), "h\xC3\xA9");
    EXPECT_EQ(success(read({{"path", pathText("bare.txt")}, {"encoding", "utf16"}})), "h\xC3\xA9");
    EXPECT_EQ(failure(read({{"path", pathText("odd.txt")}, {"encoding", "utf16"}})),
              "Failed to read file: The file is not valid UTF-16 text");
    EXPECT_EQ(failure(read({{"path", pathText("lone.txt")}, {"encoding", "utf16"}})),
              "Failed to read file: The file is not valid UTF-16 text");
    EXPECT_EQ(success(read({{"path", pathText("plain.txt")}, {"encoding", "ascii"}})), "plain text\n");
    EXPECT_EQ(failure(read({{"path", pathText("accent.txt")}, {"encoding", "ascii"}})),
              "Failed to read file: The file is not 7-bit ASCII text (byte 0xc3 at offset 3)");
    EXPECT_EQ(failure(read({{"path", pathText("plain.txt")}, {"encoding", "latin1"}})),
              "Invalid argument 'encoding': \"latin1\" is not one of utf8, ascii, utf16");
    // Not a string: absent, as for every optional string.
    EXPECT_EQ(success(read({{"path", pathText("plain.txt")}, {"encoding", 16}})), "plain text\n");
}

TEST_F(ReadFile, ReadsOnlyRegularFilesAndNeverWaitsForAWriter)
{
    makeFifo("fifo");
    makeLink(path("fifo"), "link-to-fifo");
    makeSocket("socket");
    // What /dev/stdin is when a client talks to the server over a pipe.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string standardInput = "/proc/self/fd/" + std::to_string(pipeEnds[0]);

    for (const std::string& special : {pathText("fifo"), pathText("link-to-fifo"), pathText("socket"), standardInput}) {
        SCOPED_TRACE(special);
        EXPECT_EQ(failure(read({{"path", special}})), "Failed to read file: Not a regular file");
    }
    // Files of /proc are regular files without a size: read whole.
    EXPECT_TRUE(success(read({{"path", "/proc/self/status"}})).starts_with("Name:"));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
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
}

TEST_F(ReadFile, StopsWhenTheCallIsCancelled)
{
    writeBytes("notes.txt", "text");
    CancellationToken cancellation;
    cancellation.cancel();

    EXPECT_EQ(failure(read({{"path", pathText("notes.txt")}}, cancellation)), "Failed to read file: Operation canceled");
}

TEST_F(ReadFile, RefusesADeviceWithoutOpeningItInAPrivateMountNamespace)
{
    if (!mountAt("dev", "size=64k,mode=0755"))
        GTEST_SKIP() << "runs in the suite's private mount namespace only";
    // The terminal device: opening it could make it the server's controlling terminal.
    if (::mknod(path("dev/tty").toUtf8().constData(), S_IFCHR | 0666, makedev(5, 0)) != 0)
        GTEST_SKIP() << "no right to make device nodes here";

    EXPECT_EQ(failure(read({{"path", pathText("dev/tty")}})), "Failed to read file: Not a regular file");
}

TEST_F(ReadFile, ReportsTheBytesReadOfTheFilesSizeWhileItReads)
{
    const QByteArray text(3 * 1024 * 1024, 'x');
    writeBytes("large.txt", text);
    ProgressRecord progress;

    EXPECT_EQ(success(read({{"path", pathText("large.txt")}}, progress.token)).size(), static_cast<std::size_t>(text.size()));
    const auto& reports = progress.reports();
    ASSERT_FALSE(reports.empty());
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_GT(reports[i].progress, i == 0 ? 0 : reports[i - 1].progress);
        EXPECT_LE(reports[i].progress, text.size());
        EXPECT_EQ(reports[i].total, text.size());
        EXPECT_TRUE(reports[i].message.endsWith(QStringLiteral(" of 3.1 MB read"))) << reports[i].message.toStdString();
    }
}

} // namespace

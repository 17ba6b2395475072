#include "tools/filesystem/FileSystemToolFixture.h"

#include "tools/filesystem/WriteFileTool.h"

#include <cstring>

#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <utime.h>

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

TEST_F(WriteFile, DecodesStrictBase64WithOrWithoutPadding)
{
    EXPECT_EQ(success(write({{"path", pathText("pixel.bin")}, {"content", "iVBORw0KGgo="}, {"base64", true}})),
              "Successfully wrote to " + pathText("pixel.bin"));
    EXPECT_EQ(readBytes("pixel.bin"), QByteArray::fromHex("89504e470d0a1a0a"));
    // Without base64 true the same text is written as it stands.
    write({{"path", pathText("plain.txt")}, {"content", "iVBORw0KGgo="}, {"base64", "yes"}});
    EXPECT_EQ(readBytes("plain.txt"), "iVBORw0KGgo=");
    // Every padding length, padded or not, and nothing at all.
    for (const auto& [content, bytes] : std::vector<std::pair<const char*, QByteArray>>{
             {"aGVsbG8h", "hello!"}, {"aGVsbG8=", "hello"}, {"aGVsbG8", "hello"}, {"aGVsbA==", "hell"}, {"aGVsbA", "hell"}, {"", ""}}) {
        SCOPED_TRACE(content);
        writeBytes("decoded.bin", "previous contents");
        EXPECT_EQ(success(write({{"path", pathText("decoded.bin")}, {"content", content}, {"base64", true}})),
                  "Successfully wrote to " + pathText("decoded.bin"));
        EXPECT_EQ(readBytes("decoded.bin"), bytes);
    }

    // Invalid input is refused, but the directories made for it stay.
    for (const char* content : {"aGVs bG8=", "aGVsbG8!", "aGVsb", "aG==VsbG8=", "aGVsbG8=\n", "aGVsbG=", "aGVsbA=", "aGVsbA==="}) {
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

TEST_F(WriteFile, WritesUtf16WithAByteOrderMarkAndAsciiOnlyWhenItIs)
{
    EXPECT_EQ(success(write({{"path", pathText("wide.txt")}, {"content", "h\xC3\xA9\xF0\x9F\x98\x81"}, {"encoding", "utf16"}})),
              "Successfully wrote to " + pathText("wide.txt"));
    EXPECT_EQ(readBytes("wide.txt"), QByteArray::fromHex("fffe6800e9003dd801de"));
    EXPECT_EQ(success(write({{"path", pathText("plain.txt")}, {"content", "plain"}, {"encoding", "ascii"}})),
              "Successfully wrote to " + pathText("plain.txt"));
    EXPECT_EQ(readBytes("plain.txt"), "plain");
    EXPECT_EQ(success(write({{"path", pathText("utf8.txt")}, {"content", "caf\xC3\xA9"}, {"encoding", "utf8"}})),
              "Successfully wrote to " + pathText("utf8.txt"));
    EXPECT_EQ(readBytes("utf8.txt"), "caf\xC3\xA9");

    EXPECT_EQ(failure(write({{"path", pathText("plain.txt")}, {"content", "caf\xC3\xA9"}, {"encoding", "ascii"}})),
              "Failed to write file: Content is not 7-bit ASCII text (U+00E9 at position 3)");
    EXPECT_EQ(failure(write({{"path", pathText("plain.txt")}, {"content", "x"}, {"encoding", "UTF-8"}})),
              "Invalid argument 'encoding': \"UTF-8\" is not one of utf8, ascii, utf16");
    EXPECT_EQ(readBytes("plain.txt"), "plain");
}

TEST_F(WriteFile, RefusesToReplaceWhatIsNotARegularFile)
{
    makeFifo("fifo");
    makeLink(path("nowhere"), "dangling");
    makeLink(path("fifo"), "link-to-fifo");
    makeSocket("socket");

    for (const char* name : {"fifo", "link-to-fifo", "socket", "dangling"}) {
        for (const bool base64 : {false, true}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(failure(write({{"path", pathText(name)}, {"content", "eA=="}, {"base64", base64}})),
                      "Failed to write file: Not a regular file");
        }
    }
    struct stat info;
    ASSERT_EQ(::lstat(path("fifo").toUtf8().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(::lstat(path("socket").toUtf8().constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_TRUE(QFileInfo(path("dangling")).isSymLink());
    EXPECT_FALSE(exists("nowhere"));
}

TEST_F(WriteFile, WritesAFileWithSeveralNamesInPlaceSoEveryNameSeesTheNewText)
{
    writeBytes("first", "old text");
    ASSERT_EQ(::link(path("first").toUtf8().constData(), path("second").toUtf8().constData()), 0);

    EXPECT_EQ(success(write({{"path", pathText("first")}, {"content", "new"}})), "Successfully wrote to " + pathText("first"));
    EXPECT_EQ(readBytes("first"), "new");
    EXPECT_EQ(readBytes("second"), "new");
    EXPECT_EQ(success(write({{"path", pathText("second")}, {"content", "bmV3ZXI="}, {"base64", true}})),
              "Successfully wrote to " + pathText("second"));
    EXPECT_EQ(readBytes("first"), "newer");
    struct stat info;
    ASSERT_EQ(::stat(path("first").toUtf8().constData(), &info), 0);
    EXPECT_EQ(info.st_nlink, 2u);
}

TEST_F(WriteFile, KeepsExtendedAttributesAndAccessListsOfTheReplacedFile)
{
    writeBytes("tagged.txt", "old");
    const QByteArray file = path("tagged.txt").toUtf8();
    ASSERT_EQ(::setxattr(file.constData(), "user.origin", "downloaded", 10, 0), 0);
    // An access list granting user 12345 read access: owner rw-, that user r--, group r--,
    // mask r--, others ---.
    struct AclEntry {
        quint16 tag, permissions;
        quint32 id;
    };
    const quint32 version = 2;
    const AclEntry entries[] = {
        {0x01, 6, 0xFFFFFFFF}, {0x02, 4, 12345}, {0x04, 4, 0xFFFFFFFF}, {0x10, 4, 0xFFFFFFFF}, {0x20, 0, 0xFFFFFFFF}};
    QByteArray acl(reinterpret_cast<const char*>(&version), sizeof version);
    acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
    const bool aclSupported =
        ::setxattr(file.constData(), "system.posix_acl_access", acl.constData(), static_cast<size_t>(acl.size()), 0) == 0;

    EXPECT_EQ(success(write({{"path", pathText("tagged.txt")}, {"content", "new"}})), "Successfully wrote to " + pathText("tagged.txt"));
    char value[64] = {};
    EXPECT_EQ(::getxattr(file.constData(), "user.origin", value, sizeof value), 10);
    EXPECT_STREQ(value, "downloaded");
    if (aclSupported) {
        QByteArray kept(256, '\0');
        const ssize_t size = ::getxattr(file.constData(), "system.posix_acl_access", kept.data(), static_cast<size_t>(kept.size()));
        kept.truncate(std::max<ssize_t>(size, 0));
        EXPECT_EQ(kept, acl);
    }
}

TEST_F(WriteFile, KeepsTheOwnerAndGroupOfAFileRootWritesForAnotherUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    writeBytes("theirs.txt", "old");
    const QByteArray file = path("theirs.txt").toUtf8();
    ASSERT_EQ(::chown(file.constData(), 4321, 8765), 0);
    ASSERT_EQ(::chmod(file.constData(), 0604), 0);

    EXPECT_EQ(success(write({{"path", pathText("theirs.txt")}, {"content", "new"}})), "Successfully wrote to " + pathText("theirs.txt"));
    struct stat info;
    ASSERT_EQ(::stat(file.constData(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 8765u);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(readBytes("theirs.txt"), "new");
}

TEST_F(WriteFile, LeavesAReadOnlyFileAloneAsAnUnprivilegedUser)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file; the suite runs this test again as another user";
    writeBytes("locked.txt", "keep");
    ASSERT_EQ(::chmod(path("locked.txt").toUtf8().constData(), 0444), 0);

    EXPECT_EQ(failure(write({{"path", pathText("locked.txt")}, {"content", "new"}})), "Failed to write file: Permission denied");
    EXPECT_EQ(readBytes("locked.txt"), "keep");
    EXPECT_EQ(permissions(path("locked.txt")), 0444u);
}

TEST_F(WriteFile, RemovesTemporaryFilesThatAKilledWriteLeftBehind)
{
    const auto age = [this](const char* name, qint64 seconds) {
        const struct utimbuf times {
            ::time(nullptr) - seconds, ::time(nullptr) - seconds
        };
        ASSERT_EQ(::utime(path(name).toUtf8().constData(), &times), 0);
    };
    writeBytes("dir/.zarnel-write-1x2y3z", "left by a killed write");
    age("dir/.zarnel-write-1x2y3z", 120);
    writeBytes("dir/.zarnel-write-4k5l6m", "a write still going on");
    age("dir/.zarnel-write-4k5l6m", 10);
    writeBytes("dir/.zarnel-write-Notours", "not our name");
    age("dir/.zarnel-write-Notours", 120);

    EXPECT_EQ(success(write({{"path", pathText("dir/file.txt")}, {"content", "text"}})),
              "Successfully wrote to " + pathText("dir/file.txt"));
    EXPECT_EQ(entries("dir"), (QStringList{".zarnel-write-4k5l6m", ".zarnel-write-Notours", "file.txt"}));
}

TEST_F(WriteFile, RefusesADeviceNodeInAPrivateMountNamespace)
{
    if (!mountAt("dev", "size=64k,mode=0755"))
        GTEST_SKIP() << "runs in the suite's private mount namespace only";
    // A node for the null device on a tmpfs of our own, never the system's /dev.
    if (::mknod(path("dev/null").toUtf8().constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no right to make device nodes here";

    EXPECT_EQ(failure(write({{"path", pathText("dev/null")}, {"content", "text"}})), "Failed to write file: Not a regular file");
    EXPECT_EQ(failure(write({{"path", pathText("dev/null")}, {"content", "eA=="}, {"base64", true}})),
              "Failed to write file: Not a regular file");
    struct stat info;
    ASSERT_EQ(::lstat(path("dev/null").toUtf8().constData(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(info.st_rdev, makedev(1, 3));
}

TEST_F(WriteFile, LeavesTheOldFileWholeWhenTheDiskIsFullInAPrivateMountNamespace)
{
    if (!mountAt("small", "size=64k"))
        GTEST_SKIP() << "runs in the suite's private mount namespace only";
    writeBytes("small/kept.txt", "the old text");
    const std::string large(1 << 20, 'x');

    EXPECT_EQ(failure(write({{"path", pathText("small/kept.txt")}, {"content", large}})), "Failed to write file: No space left on device");
    EXPECT_EQ(
        failure(write(
            {{"path", pathText("small/kept.txt")}, {"content", QByteArray(large.c_str()).toBase64().toStdString()}, {"base64", true}})),
        "Failed to write file: No space left on device");
    EXPECT_EQ(readBytes("small/kept.txt"), "the old text");
    EXPECT_EQ(entries("small"), QStringList{"kept.txt"});
}

TEST_F(WriteFile, RefusesDotOrDotDotAsTheLastName)
{
    writeBytes("box/file.txt", "keep");
    for (const char* named : {"box/.", "box/..", "fresh/."}) {
        EXPECT_EQ(failure(write({{"path", pathText(named)}, {"content", "x"}})), "Refusing to write '.' or '..': name the file itself")
            << named;
    }
    EXPECT_EQ(entries("box"), QStringList{QStringLiteral("file.txt")});
    EXPECT_FALSE(exists("fresh"));
}

} // namespace

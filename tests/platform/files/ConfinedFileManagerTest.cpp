#include "platform/files/ConfinedFileManager.h"

#include "tools/filesystem/CopyFileTool.h"
#include "tools/filesystem/CreateDirectoryTool.h"
#include "tools/filesystem/DeleteFileTool.h"
#include "tools/filesystem/FileSystemToolFixture.h"
#include "tools/filesystem/ListDirectoryTool.h"
#include "tools/filesystem/MoveFileTool.h"
#include "tools/filesystem/ReadFileTool.h"
#include "tools/filesystem/SearchFilesTool.h"
#include "tools/filesystem/WriteFileTool.h"

#include <atomic>
#include <thread>

namespace {

// A tree with an allowed folder, a read-only one inside it, Zarnel's own folder and a secret
// outside, and the eight file tools over the confined file manager. The fixture's name puts it
// into the suite's run as an unprivileged user too: none of this may depend on being root.
class FolderConfinementAsAnUnprivilegedUser : public FileSystemToolTest {
protected:
    void SetUp() override
    {
        makeDirectory("allowed/kept");
        makeDirectory("allowed/work");
        makeDirectory("outside");
        makeDirectory("own");
        writeBytes("outside/secret", "secret");
        writeBytes("allowed/work/note", "note");
        writeBytes("allowed/kept/record", "record");
        writeBytes("own/zarnel.conf", "[General]\n");
        m_confinement->setRules(FolderRules{{path("allowed")}, {path("allowed/kept")}, true});
    }

    MCPToolCallResponse call(MCPToolProtocol& tool, const Json& arguments) { return callTool(tool, arguments); }
    std::string outsideText(const QString& relative) const
    {
        return "Access denied: " + pathText(relative) + " is outside the allowed folders";
    }

    std::shared_ptr<FolderConfinement> m_confinement = std::make_shared<FolderConfinement>(QStringList{path("own")});
    ConfinedFileManager m_confined{std::make_shared<LinuxFileManager>(), m_confinement};
    ReadFileTool m_read{m_confined};
    WriteFileTool m_write{m_confined};
    ListDirectoryTool m_list{m_confined};
    CreateDirectoryTool m_create{m_confined};
    DeleteFileTool m_delete{m_confined};
    MoveFileTool m_move{m_confined};
    CopyFileTool m_copy{m_confined};
    SearchFilesTool m_search{m_confined};
};

TEST_F(FolderConfinementAsAnUnprivilegedUser, ReadsAndChangesInsideAsBefore)
{
    EXPECT_EQ(success(call(m_read, {{"path", pathText("allowed/work/note")}})), "note");
    EXPECT_EQ(success(call(m_write, {{"path", pathText("allowed/work/new/file")}, {"content", "x"}})),
              "Successfully wrote to " + pathText("allowed/work/new/file"));
    EXPECT_EQ(readBytes("allowed/work/new/file"), "x");
    EXPECT_TRUE(call(m_copy, {{"source", pathText("allowed/work/note")}, {"destination", pathText("allowed/work/copy")}}).isError != true);
    EXPECT_TRUE(call(m_move, {{"source", pathText("allowed/work/copy")}, {"destination", pathText("allowed/moved")}}).isError != true);
    EXPECT_TRUE(call(m_delete, {{"path", pathText("allowed/moved")}}).isError != true);
    EXPECT_TRUE(call(m_create, {{"path", pathText("allowed/a/b/../c")}}).isError != true);
    EXPECT_TRUE(exists("allowed/a/c"));
    EXPECT_NE(success(call(m_list, {{"path", pathText("allowed/work")}})).find("note"), std::string::npos);
}

TEST_F(FolderConfinementAsAnUnprivilegedUser, RefusesEveryToolOutsideAndTouchesNothing)
{
    const std::string secret = pathText("outside/secret");
    EXPECT_EQ(failure(call(m_read, {{"path", secret}})), outsideText("outside/secret"));
    EXPECT_EQ(failure(call(m_write, {{"path", secret}, {"content", "x"}})), outsideText("outside/secret"));
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("outside/new/file")}, {"content", "x"}})), outsideText("outside/new/file"));
    EXPECT_EQ(failure(call(m_list, {{"path", pathText("outside")}})), outsideText("outside"));
    EXPECT_EQ(failure(call(m_create, {{"path", pathText("outside/made")}})), outsideText("outside/made"));
    EXPECT_EQ(failure(call(m_delete, {{"path", secret}})), outsideText("outside/secret"));
    EXPECT_EQ(failure(call(m_move, {{"source", secret}, {"destination", pathText("allowed/got")}})), outsideText("outside/secret"));
    EXPECT_EQ(failure(call(m_move, {{"source", pathText("allowed/work/note")}, {"destination", pathText("outside/note")}})),
              outsideText("outside/note"));
    EXPECT_EQ(failure(call(m_copy, {{"source", secret}, {"destination", pathText("allowed/got")}})), outsideText("outside/secret"));
    EXPECT_EQ(failure(call(m_copy, {{"source", pathText("allowed/work/note")}, {"destination", pathText("outside/note")}})),
              outsideText("outside/note"));
    // The allowed folder's parent, and a missing path outside, get the same answer.
    EXPECT_EQ(failure(call(m_delete, {{"path", path().toStdString()}, {"recursive", true}})),
              "Access denied: " + pathText() + " is outside the allowed folders");
    EXPECT_EQ(failure(call(m_read, {{"path", pathText("outside/missing")}})), outsideText("outside/missing"));

    EXPECT_EQ(readBytes("outside/secret"), "secret");
    EXPECT_EQ(readBytes("allowed/work/note"), "note");
    EXPECT_FALSE(exists("outside/made") || exists("outside/new") || exists("outside/note") || exists("allowed/got"));
}

TEST_F(FolderConfinementAsAnUnprivilegedUser, FollowsDotDotAndEveryKindOfLinkToWhereItReallyLeads)
{
    makeLink(path("outside/secret"), "allowed/file-link");
    makeLink(path("outside"), "allowed/folder-link");
    makeLink(QStringLiteral("file-link"), "allowed/chain");
    makeLink(QStringLiteral("../outside/planted"), "allowed/dangling");
    makeLink(path("allowed/work"), "allowed/inner-link");

    EXPECT_EQ(failure(call(m_read, {{"path", pathText("allowed/../outside/secret")}})), outsideText("allowed/../outside/secret"));
    EXPECT_EQ(failure(call(m_read, {{"path", pathText("allowed/file-link")}})), outsideText("allowed/file-link"));
    EXPECT_EQ(failure(call(m_read, {{"path", pathText("allowed/chain")}})), outsideText("allowed/chain"));
    EXPECT_EQ(failure(call(m_read, {{"path", pathText("allowed/folder-link/secret")}})), outsideText("allowed/folder-link/secret"));
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("allowed/file-link")}, {"content", "x"}})), outsideText("allowed/file-link"));
    // A link to a file not there yet would create it where it points.
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("allowed/dangling")}, {"content", "x"}})), outsideText("allowed/dangling"));
    EXPECT_EQ(failure(call(m_create, {{"path", pathText("allowed/folder-link/made")}})), outsideText("allowed/folder-link/made"));
    // A "mkdir -p" through a folder about to be made must not climb out either.
    EXPECT_EQ(failure(call(m_create, {{"path", pathText("allowed/fresh/../../outside/made")}})),
              outsideText("allowed/fresh/../../outside/made"));
    EXPECT_FALSE(exists("outside/planted") || exists("outside/made") || exists("allowed/fresh"));
    EXPECT_EQ(readBytes("outside/secret"), "secret");

    // A link inside that stays inside is followed; a link is itself an item inside, to be removed.
    EXPECT_EQ(success(call(m_read, {{"path", pathText("allowed/inner-link/note")}})), "note");
    EXPECT_TRUE(call(m_delete, {{"path", pathText("allowed/file-link")}}).isError != true);
    EXPECT_TRUE(exists("outside/secret"));
    makeLink(QStringLiteral("nothing-here"), "allowed/broken");
    EXPECT_EQ(success(call(m_delete, {{"path", pathText("allowed/broken")}})), "Successfully deleted: " + pathText("allowed/broken"));
}

TEST_F(FolderConfinementAsAnUnprivilegedUser, SeesTheMagicLinksOfProcForWhereTheyLead)
{
    EXPECT_EQ(failure(call(m_read, {{"path", "/proc/self/root" + pathText("outside/secret")}})),
              "Access denied: /proc/self/root" + pathText("outside/secret") + " is outside the allowed folders");
    const CurrentDirectoryGuard inOutside(path("outside"));
    EXPECT_EQ(failure(call(m_read, {{"path", "/proc/self/cwd/secret"}})),
              "Access denied: /proc/self/cwd/secret is outside the allowed folders");
    EXPECT_EQ(failure(call(m_read, {{"path", "secret"}})), outsideText("outside/secret"));
    EXPECT_EQ(failure(call(m_read, {{"path", std::string("allowed/work/note") + '\0' + "/../../../outside/secret"}})),
              "Invalid path: contains a NUL character");
}

// Reading through a hard link inside is reading a file inside: it is the same file, and the
// person who made the link put it there.
TEST_F(FolderConfinementAsAnUnprivilegedUser, ReadsAHardLinkInsideAsTheFileItIs)
{
    ASSERT_EQ(::link(path("outside/secret").toUtf8().constData(), path("allowed/hard").toUtf8().constData()), 0);
    EXPECT_EQ(success(call(m_read, {{"path", pathText("allowed/hard")}})), "secret");
}

TEST_F(FolderConfinementAsAnUnprivilegedUser, ListsAndSearchesWithoutGoingOut)
{
    makeLink(path("outside"), "allowed/work/out");
    const std::string listed = success(call(m_list, {{"path", pathText("allowed/work")}, {"recursive", true}}));
    EXPECT_NE(listed.find("out"), std::string::npos);
    EXPECT_EQ(listed.find("secret"), std::string::npos);
    EXPECT_EQ(success(call(m_search, {{"pattern", "secret"}, {"directory", pathText("allowed")}})),
              "No files found matching pattern: secret");
}

TEST_F(FolderConfinementAsAnUnprivilegedUser, ReadsButNeverChangesAReadOnlyFolder)
{
    const std::string readOnly = "Access denied: " + pathText("allowed/kept/record") + " is in a read-only folder";
    EXPECT_EQ(success(call(m_read, {{"path", pathText("allowed/kept/record")}})), "record");
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("allowed/kept/record")}, {"content", "x"}})), readOnly);
    EXPECT_EQ(failure(call(m_delete, {{"path", pathText("allowed/kept/record")}})), readOnly);
    EXPECT_EQ(failure(call(m_move, {{"source", pathText("allowed/kept/record")}, {"destination", pathText("allowed/r")}})), readOnly);
    EXPECT_EQ(failure(call(m_copy, {{"source", pathText("allowed/work/note")}, {"destination", pathText("allowed/kept/n")}})),
              "Access denied: " + pathText("allowed/kept/n") + " is in a read-only folder");
    // Removing or moving what holds it would take it along.
    EXPECT_EQ(failure(call(m_delete, {{"path", pathText("allowed")}, {"recursive", true}})),
              "Access denied: " + pathText("allowed") + " is in a read-only folder");
    EXPECT_EQ(readBytes("allowed/kept/record"), "record");
}

// Otherwise one approved write could switch the confirmations off for every later call.
TEST_F(FolderConfinementAsAnUnprivilegedUser, NeverChangesZarnelsOwnFilesEvenWithNothingConfigured)
{
    m_confinement->setRules(FolderRules{});
    const std::string own = "Access denied: " + pathText("own/zarnel.conf.lock") + " belongs to Zarnel's own settings";
    EXPECT_EQ(failure(call(m_create, {{"path", pathText("own/zarnel.conf.lock")}})), own);
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("own/zarnel.conf")}, {"content", "requireConfirmation=false"}})),
              "Access denied: " + pathText("own/zarnel.conf") + " belongs to Zarnel's own settings");
    EXPECT_EQ(failure(call(m_delete, {{"path", pathText()}, {"recursive", true}})),
              "Access denied: " + pathText() + " belongs to Zarnel's own settings");
    makeLink(path("own"), "allowed/own-link");
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("allowed/own-link/zarnel.conf")}, {"content", "x"}})),
              "Access denied: " + pathText("allowed/own-link/zarnel.conf") + " belongs to Zarnel's own settings");
    EXPECT_EQ(success(call(m_read, {{"path", pathText("own/zarnel.conf")}})), "[General]\n");
    EXPECT_FALSE(exists("own/zarnel.conf.lock"));
    EXPECT_EQ(readBytes("own/zarnel.conf"), "[General]\n");
    // Everything else stays as it was without folders.
    EXPECT_EQ(success(call(m_read, {{"path", pathText("outside/secret")}})), "secret");
    EXPECT_TRUE(call(m_write, {{"path", pathText("outside/new")}, {"content", "x"}}).isError != true);
}

TEST_F(FolderConfinementAsAnUnprivilegedUser, NeverReadsTheControlTokenInsideAnAllowedFolder)
{
    writeBytes("allowed/work/token", "token");
    m_confinement = std::make_shared<FolderConfinement>(QStringList{path("own")}, QStringList{path("allowed/work/token")});
    m_confinement->setRules(FolderRules{{path("allowed")}, {}, true});
    ConfinedFileManager confined{std::make_shared<LinuxFileManager>(), m_confinement};
    ReadFileTool read{confined};
    CopyFileTool copy{confined};
    const std::string refused = "Access denied: " + pathText("allowed/work/token") + " belongs to Zarnel's own settings";
    EXPECT_EQ(failure(call(read, {{"path", pathText("allowed/work/token")}})), refused);
    EXPECT_EQ(failure(call(copy, {{"source", pathText("allowed/work/token")}, {"destination", pathText("allowed/copy")}})), refused);
    EXPECT_EQ(success(call(read, {{"path", pathText("allowed/work/note")}})), "note");
    EXPECT_FALSE(exists("allowed/copy"));
}

// A link swapped in between the check and the open must not lead out: the tool sees either the
// folder inside or a refusal, never the secret.
TEST_F(FolderConfinementAsAnUnprivilegedUser, NeverFollowsALinkSwappedInWhileItWorks)
{
    makeDirectory("allowed/swap");
    writeBytes("allowed/swap/secret", "inside");
    const QByteArray swapping = path("allowed/swap").toUtf8();
    const QByteArray real = path("allowed/real").toUtf8();
    const QByteArray link = path("allowed/link").toUtf8();
    ASSERT_EQ(::symlink(path("outside").toUtf8().constData(), link.constData()), 0);
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        while (!done) {
            ::rename(swapping.constData(), real.constData());
            ::rename(link.constData(), swapping.constData());
            ::rename(swapping.constData(), link.constData());
            ::rename(real.constData(), swapping.constData());
        }
    });
    int leaked = 0;
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (textOf(call(m_read, {{"path", pathText("allowed/swap/secret")}})) == "secret")
            ++leaked;
    }
    done = true;
    swapper.join();
    EXPECT_EQ(leaked, 0);
}

// Mounts are the person's (a confined command may make none): a folder mounted inside counts as
// inside, as it does for the kernel's rules, and an allowed folder reached through a mount of it
// elsewhere is outside.
class FolderConfinementInAPrivateMountNamespace : public FolderConfinementAsAnUnprivilegedUser {};

TEST_F(FolderConfinementInAPrivateMountNamespace, GoesByThePathAMountIsReachedThrough)
{
    if (!mountAt(QStringLiteral("allowed/mounted"), nullptr, QStringLiteral("outside"))
        || !mountAt(QStringLiteral("outside/view"), nullptr, QStringLiteral("allowed/work")))
        GTEST_SKIP() << "needs the suite's run in a private mount namespace";
    EXPECT_EQ(success(call(m_read, {{"path", pathText("allowed/mounted/secret")}})), "secret");
    EXPECT_EQ(failure(call(m_read, {{"path", pathText("outside/view/note")}})), outsideText("outside/view/note"));
    EXPECT_EQ(failure(call(m_write, {{"path", pathText("outside/view/note")}, {"content", "x"}})), outsideText("outside/view/note"));
    EXPECT_EQ(readBytes("allowed/work/note"), "note");
}

} // namespace

#include "platform/processes/CommandSandbox.h"

#include "platform/processes/PosixShellRunner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A command confined to one folder of a temporary tree, with a read-only folder and Zarnel's own
// folder inside it and a secret outside. Runs as root and again as an unprivileged user.
class ConfinedCommandAsAnUnprivilegedUser : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CommandSandbox::statusText(confinedTo({path("allowed")})).startsWith(QLatin1String("kernel")))
            GTEST_SKIP() << "this kernel cannot confine commands";
        for (const char* folder : {"allowed/kept", "allowed/own", "allowed/work", "outside"})
            ASSERT_TRUE(QDir().mkpath(path(QLatin1String(folder))));
        write("outside/secret", "secret");
        write("outside/tool.sh", "#!/bin/sh\necho ran\n");
        write("allowed/kept/record", "record");
        write("allowed/script.sh", "#!/bin/sh\necho escaped > \"$1\"\n");
        QFile::setPermissions(path("outside/tool.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(path("allowed/script.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString path(const QString& relative = QString()) const { return relative.isEmpty() ? m_dir.path() : m_dir.path() + '/' + relative; }
    void write(const QString& relative, const QByteArray& bytes) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    EffectiveFolders confinedTo(const QStringList& allowed, bool network = true) const
    {
        FolderConfinement confinement({path("allowed/own")}, {path("allowed/own/token")});
        confinement.setRules(FolderRules{allowed, {path("allowed/kept")}, network});
        return confinement.effective();
    }
    ShellOutcome run(const QString& command, bool network = true, const std::optional<QString>& directory = std::nullopt) const
    {
        ShellCommand shell;
        shell.command = command;
        shell.timeLimit = std::chrono::seconds(60);
        shell.workingDirectory = directory.value_or(path("allowed/work"));
        shell.confinement = confinedTo({path("allowed")}, network);
        return PosixShellRunner().run(shell, [](qint64) { return false; });
    }

    QTemporaryDir m_dir;
};

TEST_F(ConfinedCommandAsAnUnprivilegedUser, WritesReadsAndRunsProgramsInsideOnly)
{
    const ShellOutcome inside = run(QStringLiteral("echo made > made && cat made && ls /usr/bin >/dev/null && echo listed"));
    ASSERT_TRUE(inside.started) << inside.startError.toStdString();
    EXPECT_EQ(inside.standardOutput, "made\nlisted\n");
    EXPECT_EQ(inside.exitCode, 0);

    const QString outside = path("outside");
    const ShellOutcome escapes = run(QStringLiteral("touch %1/a; sh -c 'echo b > %1/b'; cd / && touch %1/c; ../script.sh %1/d; "
                                                    "cat %1/secret; %1/tool.sh; ls %1; echo done")
                                         .arg(outside));
    EXPECT_EQ(escapes.standardOutput, "done\n");
    EXPECT_EQ(QDir(outside).entryList(QDir::Files), QStringList({QStringLiteral("secret"), QStringLiteral("tool.sh")}));
}

TEST_F(ConfinedCommandAsAnUnprivilegedUser, KeepsReadOnlyAndOwnFoldersInsideUnchanged)
{
    // The kernel's rules only add rights: the folders that hold a protected one get no new
    // entries of their own, while everything beside the protected folder stays writable.
    const ShellOutcome outcome = run(QStringLiteral("cd ..; cat kept/record; echo x > kept/record; touch kept/new own/zarnel.conf.lock; "
                                                    "rm -f kept/record; mv kept gone; touch alongside; touch work/alongside && echo ok"));
    EXPECT_EQ(outcome.standardOutput, "recordok\n");
    QFile record(path("allowed/kept/record"));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    EXPECT_EQ(record.readAll(), "record");
    EXPECT_FALSE(QFileInfo::exists(path("allowed/kept/new")) || QFileInfo::exists(path("allowed/own/zarnel.conf.lock")));
    EXPECT_FALSE(QFileInfo::exists(path("allowed/alongside")));
    EXPECT_TRUE(QFileInfo::exists(path("allowed/work/alongside")));
}

TEST_F(ConfinedCommandAsAnUnprivilegedUser, NeverReadsTheControlTokenButEverythingAroundIt)
{
    write("allowed/own/token", "token");
    write("allowed/own/server-state", "stopped");
    const ShellOutcome outcome =
        run(QStringLiteral("cd ../own; cat token; cp token ../work/copy; cat server-state; echo; ls | tr '\\n' ' '; "
                           "ls .. >/dev/null && echo listed"));
    EXPECT_EQ(outcome.standardOutput, "stopped\nserver-state token listed\n");
    EXPECT_FALSE(QFileInfo::exists(path("allowed/work/copy")));
}

TEST_F(ConfinedCommandAsAnUnprivilegedUser, GetsAPrivateTemporaryFolderThatGoesAfterwards)
{
    const ShellOutcome outcome = run(QStringLiteral("echo scratch > \"$TMPDIR/file\" && cat \"$TMPDIR/file\" && echo \"$TMPDIR\""));
    const QList<QByteArray> lines = outcome.standardOutput.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "scratch");
    EXPECT_NE(lines[1], QFile::encodeName(QDir::tempPath()));
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(lines[1])));
}

// A listening socket on the loopback interface: whether anything connected to it.
class LocalServer {
public:
    LocalServer(int type)
        : m_fd(::socket(AF_INET, type | SOCK_NONBLOCK, 0))
        , m_type(type)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        if (type == SOCK_STREAM)
            ::listen(m_fd, 4);
    }
    ~LocalServer() { ::close(m_fd); }
    int port() const { return m_port; }
    bool reached() const
    {
        if (m_type == SOCK_DGRAM) {
            char byte;
            return ::recv(m_fd, &byte, 1, 0) > 0;
        }
        const int accepted = ::accept(m_fd, nullptr, nullptr);
        if (accepted >= 0)
            ::close(accepted);
        return accepted >= 0;
    }

private:
    int m_fd;
    int m_type;
    int m_port = 0;
};

TEST_F(ConfinedCommandAsAnUnprivilegedUser, TakesTheNetworkOnlyWhenToldTo)
{
    if (!QFileInfo::exists(QStringLiteral("/bin/bash")))
        GTEST_SKIP() << "no bash for /dev/tcp";
    const auto connect = [&](const LocalServer& tcp, const LocalServer& udp, bool network) {
        return run(QStringLiteral("bash -c 'echo hi > /dev/tcp/127.0.0.1/%1; echo hi > /dev/udp/127.0.0.1/%2; "
                                  "python3 -c \"import socket; socket.socket(socket.AF_UNIX)\" 2>/dev/null; exit 0'")
                       .arg(tcp.port())
                       .arg(udp.port()),
                   network);
    };
    {
        const LocalServer tcp(SOCK_STREAM);
        const LocalServer udp(SOCK_DGRAM);
        EXPECT_EQ(connect(tcp, udp, true).exitCode, 0);
        EXPECT_TRUE(tcp.reached());
        EXPECT_TRUE(udp.reached());
    }
    const LocalServer tcp(SOCK_STREAM);
    const LocalServer udp(SOCK_DGRAM);
    const ShellOutcome refused = connect(tcp, udp, false);
    EXPECT_FALSE(tcp.reached());
    EXPECT_FALSE(udp.reached());
    EXPECT_TRUE(refused.standardError.contains("Permission denied")) << refused.standardError.toStdString();
}

TEST(CommandSandbox, SaysWhetherItConfinesAnything)
{
    EXPECT_EQ(CommandSandbox::statusText(EffectiveFolders{}), QStringLiteral("off"));
    EffectiveFolders networkOnly;
    networkOnly.commandNetwork = false;
    EXPECT_EQ(CommandSandbox::statusText(networkOnly), QStringLiteral("kernel"));
}

} // namespace

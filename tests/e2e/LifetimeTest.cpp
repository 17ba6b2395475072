#include "support/RunningProcesses.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <optional>

// How zarnel ends, and what it leaves behind: signals, a client that goes away, commands that
// are cancelled or keep running.

namespace {

using nlohmann::json;

class Lifetime : public ::testing::Test {
protected:
    TemporaryHome home;
    ZarnelProcess zarnel{home};

    std::optional<qint64> waitForPid(const QString& name) { return waitForPidFile(QDir(home.path()).filePath(name)); }

    // A command that writes its shell's pid into a file in HOME (complete once it appears).
    std::string writingPid(const std::string& name, const std::string& then)
    {
        return "echo $$ > \"$HOME/" + name + ".tmp\"; mv \"$HOME/" + name + ".tmp\" \"$HOME/" + name + "\"; " + then;
    }

    void sendCall(int id, const std::string& tool, const json& arguments)
    {
        zarnel.send({{"jsonrpc", "2.0"}, {"id", id}, {"method", "tools/call"}, {"params", {{"name", tool}, {"arguments", arguments}}}});
    }
};

} // namespace

TEST_F(Lifetime, EndsEveryCommandItStartedWhenTerminated)
{
    ASSERT_TRUE(zarnel.start());
    // One command answered but left a job running, one still running.
    const auto left = zarnel.callTool("execute_command", {{"command", "sleep 300 & echo $!"}});
    ASSERT_TRUE(left);
    const qint64 job = QByteArray::fromStdString(resultText(*left)).split(10).value(4).toInt();
    ASSERT_GT(job, 0) << resultText(*left);
    sendCall(50, "execute_command", {{"command", writingPid("running", "trap '' TERM; sleep 300")}});
    const auto running = waitForPid(QStringLiteral("running"));
    ASSERT_TRUE(running);

    zarnel.process().terminate();
    ASSERT_TRUE(zarnel.waitForExit(20000));
    // The running one ignores SIGTERM: SIGKILL after the grace period ends it.
    EXPECT_TRUE(waitUntilEnded(job));
    EXPECT_TRUE(waitUntilEnded(*running));
}

TEST_F(Lifetime, CancelsWhatRunsAndIsQueuedAndExitsWhenTheClientIsGone)
{
    // Standard output goes through a reader we can end (QProcess cannot close its end of the
    // pipe); what that reader passes on still reaches the test.
    zarnel.setLauncher({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                        QStringLiteral("\"$0\" \"$@\" | /bin/sh -c 'echo $$ > \"$HOME/reader\"; exec cat'")});
    ASSERT_TRUE(zarnel.start());
    const auto reader = waitForPid(QStringLiteral("reader"));
    ASSERT_TRUE(reader);
    ASSERT_TRUE(zarnel.request("ping"));
    sendCall(1, "execute_command", {{"command", writingPid("first", "sleep 300")}});
    const auto first = waitForPid(QStringLiteral("first"));
    ASSERT_TRUE(first);
    sendCall(2, "execute_command", {{"command", writingPid("second", "sleep 300")}});

    // Both ends closed: nothing can reach the client any more.
    zarnel.closeInput();
    ::kill(static_cast<pid_t>(*reader), SIGKILL);
    ASSERT_TRUE(zarnel.waitForExit(20000));
    EXPECT_TRUE(waitUntilEnded(*first));
    EXPECT_FALSE(QFile::exists(QDir(home.path()).filePath(QStringLiteral("second"))));
}

TEST_F(Lifetime, KeepsAnsweringWhatWasReadWhenOnlyTheInputEnds)
{
    ASSERT_TRUE(zarnel.start());
    sendCall(1, "execute_command", {{"command", "sleep 1; echo slow"}});
    zarnel.sendLine(R"({"jsonrpc":"2.0","id":2,"method":"prompts/list"})");
    zarnel.closeInput();
    const auto slow = zarnel.readMessage();
    ASSERT_TRUE(slow);
    EXPECT_EQ((*slow)["id"], 1);
    EXPECT_EQ(resultText((*slow)["result"]), "Command: sleep 1; echo slow\nExit code: 0\n\nOutput:\nslow\n\n");
    const auto prompts = zarnel.readMessage();
    ASSERT_TRUE(prompts);
    EXPECT_EQ((*prompts)["id"], 2);
    EXPECT_TRUE(zarnel.waitForExit());
}

TEST_F(Lifetime, AnswersTheNextRequestRightAfterACancelledCommand)
{
    ASSERT_TRUE(zarnel.start());
    // The command ignores SIGTERM, so only SIGKILL, two seconds later, can end it.
    sendCall(7, "execute_command", {{"command", writingPid("stubborn", "trap '' TERM; while :; do sleep 1; done")}});
    const auto stubborn = waitForPid(QStringLiteral("stubborn"));
    ASSERT_TRUE(stubborn);
    zarnel.send({{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", 7}}}});
    const auto ping = zarnel.request("ping");
    ASSERT_TRUE(ping);
    // The answer came before the group was killed.
    EXPECT_TRUE(isRunningProcess(*stubborn));
    EXPECT_TRUE(waitUntilEnded(*stubborn));
}

TEST_F(Lifetime, FailsAWriteBeyondTheFileSizeLimitInsteadOfDying)
{
    // ulimit -f counts blocks of 1024 bytes in bash and 512 in dash: either way far below 1 MiB.
    zarnel.setLauncher({QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("ulimit -f 64 && exec \"$0\" \"$@\"")});
    ASSERT_TRUE(zarnel.start());
    const std::string path = QDir(home.path()).filePath(QStringLiteral("big.txt")).toStdString();
    const auto written = zarnel.callTool("write_file", {{"path", path}, {"content", std::string(1 << 20, 'x')}});
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)["isError"], true);
    EXPECT_TRUE(resultText(*written).starts_with("Failed to write file: ")) << resultText(*written);
    EXPECT_TRUE(zarnel.request("ping"));
}

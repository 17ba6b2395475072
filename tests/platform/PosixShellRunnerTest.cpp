#include "platform/PosixShellRunner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <csignal>

namespace {

const auto kNeverStop = [] { return false; };

ShellCommand shellCommand(const QString& text, int seconds = 30)
{
    ShellCommand command;
    command.command = text;
    command.timeLimit = std::chrono::seconds(seconds);
    return command;
}

} // namespace

TEST(PosixShellRunner, GivesTheCommandAnEmptyInputAndAGroupOfItsOwnAndCapturesBothStreams)
{
    // cat ends at once on an empty input; the shell's process group is its own pid.
    const ShellOutcome outcome = PosixShellRunner().run(
        shellCommand(QStringLiteral(
            "cat; read -r _ _ _ _ group _ < /proc/$$/stat; [ \"$group\" = \"$$\" ] && echo own group; echo err >&2; exit 7")),
        kNeverStop);
    ASSERT_TRUE(outcome.started);
    EXPECT_EQ(outcome.exitCode, 7);
    EXPECT_EQ(outcome.standardOutput, "own group\n");
    EXPECT_EQ(outcome.standardError, "err\n");
    EXPECT_FALSE(outcome.timedOut);
}

TEST(PosixShellRunner, RunsInTheWorkingDirectoryOrSaysWhyItCannot)
{
    QTemporaryDir directory;
    ShellCommand command = shellCommand(QStringLiteral("pwd -P"));
    command.workingDirectory = directory.path();
    EXPECT_EQ(PosixShellRunner().run(command, kNeverStop).standardOutput, QDir(directory.path()).canonicalPath().toUtf8() + "\n");

    command.workingDirectory = directory.path() + QStringLiteral("/missing");
    const ShellOutcome missing = PosixShellRunner().run(command, kNeverStop);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.startError,
              QStringLiteral("cannot use working directory '%1/missing': No such file or directory").arg(directory.path()));
}

TEST(PosixShellRunner, ReportsASignalAsShellsDo)
{
    EXPECT_EQ(PosixShellRunner().run(shellCommand(QStringLiteral("kill -KILL $$")), kNeverStop).exitCode, 128 + SIGKILL);
}

TEST(PosixShellRunner, DrainsBothStreamsAndKeepsAtMostTheLimitOfEach)
{
    // Both streams far beyond a pipe's buffer: a runner that read one after the other would hang.
    const qint64 size = ShellRunner::kMaxCapturedBytes + 3 * 1024 * 1024;
    const ShellOutcome outcome =
        PosixShellRunner().run(shellCommand(QStringLiteral("head -c %1 /dev/zero >&2 & head -c %1 /dev/zero; wait").arg(size)), kNeverStop);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.standardOutput.size(), ShellRunner::kMaxCapturedBytes);
    EXPECT_EQ(outcome.standardOutputOmitted, size - ShellRunner::kMaxCapturedBytes);
    EXPECT_EQ(outcome.standardError.size(), ShellRunner::kMaxCapturedBytes);
    EXPECT_EQ(outcome.standardErrorOmitted, size - ShellRunner::kMaxCapturedBytes);
}

#include "platform/processes/PosixShellRunner.h"

#include "platform/processes/CommandGroups.h"
#include "support/RunningProcesses.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <optional>
#include <thread>

namespace {

const auto kNeverStop = [](qint64) { return false; };

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

TEST(PosixShellRunner, AnswersWhenTheShellExitsAndHoldsWhatItLeftRunningToTheTimeLimit)
{
    // The background job keeps both pipes open: the answer must not wait for it.
    const ShellOutcome outcome = PosixShellRunner().run(shellCommand(QStringLiteral("sleep 30 & echo $!"), 1), kNeverStop);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_FALSE(outcome.timedOut);
    bool ok = false;
    const pid_t job = outcome.standardOutput.trimmed().toInt(&ok);
    ASSERT_TRUE(ok) << outcome.standardOutput.toStdString();
    EXPECT_TRUE(isRunningProcess(job));
    // The time limit of one second still ends it.
    EXPECT_TRUE(waitUntilEnded(job));
}

TEST(PosixShellRunner, KeepsDrainingWhatTheCommandLeftRunningSoThatItsLaterOutputDoesNotKillIt)
{
    QTemporaryDir directory;
    const QString marker = directory.filePath(QStringLiteral("marker"));
    // Written after output that reaches our pipe only once the answer has been given: a closed
    // pipe would end the job with SIGPIPE before it gets there.
    const ShellOutcome outcome = PosixShellRunner().run(
        shellCommand(QStringLiteral("(sleep 0.5; echo late; echo late >&2; echo $$ > '%1') & echo now").arg(marker)), kNeverStop);
    EXPECT_EQ(outcome.standardOutput, "now\n");
    EXPECT_TRUE(waitForPidFile(marker).has_value());
}

TEST(PosixShellRunner, ReturnsAtOnceWhenStoppedAndEndsTheGroupInTheBackground)
{
    QTemporaryDir directory;
    const QString pidFile = directory.filePath(QStringLiteral("pid"));
    // The command ignores SIGTERM: only SIGKILL after the grace period ends it, long after the
    // runner has returned.
    const ShellOutcome outcome =
        PosixShellRunner(std::chrono::seconds(3))
            .run(shellCommand(QStringLiteral("trap '' TERM; echo $$ > '%1.tmp'; mv '%1.tmp' '%1'; while :; do sleep 1; done").arg(pidFile)),
                 [&](qint64) { return QFile::exists(pidFile); });
    EXPECT_EQ(outcome.exitCode, 128 + SIGTERM);
    const auto shell = waitForPidFile(pidFile);
    ASSERT_TRUE(shell);
    EXPECT_TRUE(isRunningProcess(*shell));
    EXPECT_TRUE(waitUntilEnded(*shell));
}

TEST(PosixShellRunner, EndsEveryCommandAndWhatItLeftRunningWhenAskedToEndAll)
{
    QTemporaryDir directory;
    const QString pidFile = directory.filePath(QStringLiteral("pid"));
    const PosixShellRunner runner(std::chrono::seconds(60));
    const ShellOutcome left = runner.run(shellCommand(QStringLiteral("trap '' TERM; sleep 300 & echo $!"), 600), kNeverStop);
    const pid_t leftJob = left.standardOutput.trimmed().toInt();
    ASSERT_GT(leftJob, 0);

    std::optional<ShellOutcome> running;
    std::thread worker([&] {
        running = runner.run(shellCommand(QStringLiteral("echo $$ > '%1.tmp'; mv '%1.tmp' '%1'; sleep 300").arg(pidFile), 600), kNeverStop);
    });
    const auto shell = waitForPidFile(pidFile);
    ASSERT_TRUE(shell);
    EXPECT_TRUE(isRunningProcess(leftJob));

    // SIGTERM ends the running command; the job that ignores it is killed after the grace period.
    CommandGroups::endAll(std::chrono::milliseconds(200));
    worker.join();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->exitCode, 128 + SIGTERM);
    EXPECT_TRUE(waitUntilEnded(leftJob));
    EXPECT_TRUE(waitUntilEnded(*shell));
}

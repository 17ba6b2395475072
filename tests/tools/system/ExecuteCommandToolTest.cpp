#include "tools/system/ExecuteCommandTool.h"

#include "platform/processes/PosixShellRunner.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace {

// Runs the tool with the real shell; the setting's time limit is what the test says.
MCPToolCallResponse run(const Json& arguments, qint64 settingSeconds = 30, CancellationToken cancellation = {})
{
    ExecuteCommandTool tool(std::make_shared<PosixShellRunner>(std::chrono::milliseconds(200)),
                            [settingSeconds] { return settingSeconds; });
    return callTool(tool, arguments, std::move(cancellation));
}

ShellCommand commandNamedC()
{
    ShellCommand command;
    command.command = QStringLiteral("c");
    return command;
}

ShellOutcome ranWith(QByteArray output, qint64 omitted = 0)
{
    ShellOutcome outcome;
    outcome.started = true;
    outcome.standardOutput = std::move(output);
    outcome.standardOutputOmitted = omitted;
    return outcome;
}

} // namespace

TEST(ExecuteCommand, ReportsOutputErrorAndSilence)
{
    EXPECT_EQ(success(run({{"command", "echo hello"}})), "Command: echo hello\nExit code: 0\n\nOutput:\nhello\n\n");
    EXPECT_EQ(failure(run({{"command", "echo oops >&2; exit 1"}})), "Command: echo oops >&2; exit 1\nExit code: 1\n\nError:\noops\n\n");
    EXPECT_EQ(success(run({{"command", "true"}})), "Command: true\nExit code: 0\n\n");
}

TEST(ExecuteCommand, HandsTheCommandToTheShellUnchangedAndKeepsOutputThatIsNotUtf8)
{
    EXPECT_EQ(textOf(run({{"command", "printf '%s\\n' \"a  b\" | tr a-z A-Z; X=1; echo $X"}})),
              "Command: printf '%s\\n' \"a  b\" | tr a-z A-Z; X=1; echo $X\nExit code: 0\n\nOutput:\nA  B\n1\n\n");
    EXPECT_EQ(textOf(run({{"command", "printf 'caf\\351\\n'"}})),
              "Command: printf 'caf\\351\\n'\nExit code: 0\n\nOutput:\ncaf\xEF\xBF\xBD\n\n");
}

TEST(ExecuteCommand, NeedsACommandAndAnExistingWorkingDirectory)
{
    EXPECT_EQ(textOf(run({})), "Missing required argument: command");
    EXPECT_EQ(textOf(run({{"command", 5}})), "Missing required argument: command");

    EXPECT_EQ(failure(run({{"command", "true"}, {"working_directory", "/nonexistent/zarnel"}})),
              "Failed to execute command: cannot use working directory '/nonexistent/zarnel': No such file or directory");

    // The system would see the folder only up to the NUL: the command must not run there.
    QTemporaryDir folder;
    const std::string cutAtNul = folder.path().toStdString() + std::string("\0/elsewhere", 11);
    EXPECT_EQ(failure(run({{"command", "touch ran"}, {"working_directory", cutAtNul}})), "Invalid path: contains a NUL character");
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("ran"))));
}

TEST(ExecuteCommand, TakesTheTimeLimitFromAnIntegerOrADecimalStringElseTheSettingAndSaysWhenItRanOut)
{
    for (const Json& timeout : {Json(1), Json("1")})
        EXPECT_EQ(failure(run({{"command", "sleep 30"}, {"timeout", timeout}}, 600)),
                  "Command: sleep 30\nExit code: 143\nTimed out after 1 seconds\n\n");
    // Zero, negative numbers and other strings all fall back to the setting of one second.
    for (const Json& timeout : {Json(0), Json("0"), Json(-5), Json("ten"), Json(2.5)})
        EXPECT_EQ(failure(run({{"command", "sleep 30"}, {"timeout", timeout}}, 1)),
                  "Command: sleep 30\nExit code: 143\nTimed out after 1 seconds\n\n")
            << timeout.dump();
}

TEST(ExecuteCommand, FallsBackToThirtySecondsWhenTheSettingIsNotAPositiveLimit)
{
    // A stored limit of zero once ended every command at once.
    for (const qint64 setting : {0, -3})
        EXPECT_EQ(success(run({{"command", "sleep 0.2; echo done"}}, setting)),
                  "Command: sleep 0.2; echo done\nExit code: 0\n\nOutput:\ndone\n\n");
}

TEST(ExecuteCommand, StopsTheCommandWhenTheCallIsCancelled)
{
    CancellationToken cancellation;
    cancellation.cancel();
    // Not a time-out: no such line.
    EXPECT_EQ(textOf(run({{"command", "sleep 30"}}, 600, cancellation)), "Command: sleep 30\nExit code: 143\n\n");
}

TEST(ExecuteCommand, ReportsTheSecondsElapsedAndTheOutputSoFarWhileItRuns)
{
    ProgressRecord progress;
    EXPECT_EQ(success(run({{"command", "printf abc; sleep 0.8"}}, 30, progress.token)),
              "Command: printf abc; sleep 0.8\nExit code: 0\n\nOutput:\nabc\n");
    const auto& reports = progress.reports();
    ASSERT_GE(reports.size(), 2u);
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_GT(reports[i].progress, reports[i - 1].progress);
    EXPECT_GE(reports.back().progress, 0.1);
    EXPECT_TRUE(std::isnan(reports.back().total));
    EXPECT_TRUE(reports.back().message.endsWith(QStringLiteral(" s elapsed, 3 bytes of output so far")))
        << reports.back().message.toStdString();
}

TEST(ExecuteCommand, EndsCutOutputWithTheCountOfBytesLeftOut)
{
    EXPECT_EQ(ExecuteCommandTool::report(commandNamedC(), ranWith("abc\n", 10)),
              QStringLiteral("Command: c\nExit code: 0\n\nOutput:\nabc\n[Truncated: 10 more bytes left out]\n"));
    // A character cut in half at the limit goes with the bytes left out.
    EXPECT_EQ(ExecuteCommandTool::report(commandNamedC(), ranWith("ab\xE2\x82", 1)),
              QStringLiteral("Command: c\nExit code: 0\n\nOutput:\nab\n[Truncated: 3 more bytes left out]\n"));
}

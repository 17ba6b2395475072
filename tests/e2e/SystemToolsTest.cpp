#include "support/RunningProcesses.h"
#include "support/TemporaryHome.h"
#include "support/XvfbServer.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QThread>

namespace {

// Answers one simple request, which shows the protocol stream is intact.
void expectStillServing(ZarnelProcess& zarnel)
{
    const auto answer = zarnel.callTool("execute_command", {{"command", "echo still here"}});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(resultText(*answer), "Command: echo still here\nExit code: 0\n\nOutput:\nstill here\n\n");
}

QByteArray runToEnd(const QString& program, const QStringList& arguments, const QString& display, const QByteArray& input = {})
{
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(environment);
    // xclip stays behind to serve what it copied: it must not hold our pipes.
    if (!input.isEmpty())
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(10000)) << program.toStdString() << " (install it with scripts/setup)";
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(10000);
    return process.readAllStandardOutput();
}

QByteArray readClipboard(const QString& display)
{
    return runToEnd(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")}, display);
}

// Starts zarnel on an X display with the given Qt platform.
void startOnDisplay(ZarnelProcess& zarnel, const XvfbServer& x, const QString& platform)
{
    ASSERT_TRUE(x.isRunning());
    zarnel.environment().insert(QStringLiteral("DISPLAY"), x.display());
    zarnel.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize().has_value());
}

class SystemToolsOverStdio : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(zarnel.start());
        ASSERT_TRUE(zarnel.initialize().has_value());
    }

    TemporaryHome home;
    ZarnelProcess zarnel{home};
};

} // namespace

TEST_F(SystemToolsOverStdio, StopsACommandAtItsTimeLimitAndKeepsServing)
{
    for (const std::string command : {"sleep 31", "sleep 32; echo x", "trap '' TERM; sleep 33"}) {
        QElapsedTimer elapsed;
        elapsed.start();
        const auto result = zarnel.callTool("execute_command", {{"command", command}, {"timeout", 1}}, 20000);
        ASSERT_TRUE(result.has_value()) << command;
        EXPECT_LT(elapsed.elapsed(), 15000) << command;
        EXPECT_EQ(result->value("isError", false), true);
        EXPECT_TRUE(resultText(*result).starts_with("Command: " + command + "\nExit code: 1")) << resultText(*result);
    }
    EXPECT_EQ(runningSleeps({"31", "32", "33"}), 0);
    expectStillServing(zarnel);
}

TEST_F(SystemToolsOverStdio, GivesACommandAnEmptyInputNotTheProtocolStream)
{
    // The next request is already waiting on our input while cat runs.
    const nlohmann::json readInput = {{"jsonrpc", "2.0"},
                                      {"id", 100},
                                      {"method", "tools/call"},
                                      {"params", {{"name", "execute_command"}, {"arguments", {{"command", "cat; echo done"}}}}}};
    const nlohmann::json next = {{"jsonrpc", "2.0"}, {"id", 101}, {"method", "tools/list"}};
    zarnel.write(QByteArray::fromStdString(readInput.dump() + "\n" + next.dump() + "\n"));
    const auto first = zarnel.readMessage(20000);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ((*first)["id"], 100);
    EXPECT_EQ(resultText((*first)["result"]), "Command: cat; echo done\nExit code: 0\n\nOutput:\ndone\n\n");
    const auto second = zarnel.readMessage(20000);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ((*second)["id"], 101);
}

TEST_F(SystemToolsOverStdio, CapsAHugeOutputAndSaysHowMuchWasLeftOut)
{
    const std::string command = "head -c 52428800 /dev/zero | tr '\\000' a";
    const auto result = zarnel.callTool("execute_command", {{"command", command}}, 60000);
    ASSERT_TRUE(result.has_value());
    const std::string text = resultText(*result);
    const std::string header = "Command: " + command + "\nExit code: 0\n\nOutput:\n";
    ASSERT_TRUE(text.starts_with(header));
    EXPECT_EQ(text.size(), header.size() + 8 * 1024 * 1024 + std::string("\n[Truncated: 44040192 more bytes left out]\n").size());
    EXPECT_TRUE(text.ends_with("aaa\n[Truncated: 44040192 more bytes left out]\n"));
    expectStillServing(zarnel);
}

TEST_F(SystemToolsOverStdio, HasNoClipboardOrScreenWithoutADisplay)
{
    EXPECT_EQ(resultText(*zarnel.callTool("set_clipboard", {{"content", "x"}})), "Clipboard is not available: no display");
    EXPECT_EQ(resultText(*zarnel.callTool("get_clipboard", nlohmann::json::object())), "Clipboard is not available: no display");
    EXPECT_EQ(resultText(*zarnel.callTool("capture_screenshot", nlohmann::json::object())), "No screen available");
    EXPECT_TRUE(resultText(*zarnel.callTool("get_system_info", nlohmann::json::object())).starts_with("System Information:\n\n"));
}

TEST(SystemToolsOnADesktop, ShareTheClipboardAndCaptureTheScreen)
{
    XvfbServer x(640, 480);
    TemporaryHome home;
    ZarnelProcess zarnel(home);
    ASSERT_NO_FATAL_FAILURE(startOnDisplay(zarnel, x, QStringLiteral("xcb")));

    const auto copied = zarnel.callTool("set_clipboard", {{"content", "from zarnel ✓"}});
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(resultText(*copied), "Successfully copied 13 characters to clipboard");
    EXPECT_EQ(readClipboard(x.display()), "from zarnel ✓");

    runToEnd(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")}, x.display(), "from xclip");
    // xclip's parent returns before its child has taken the selection over.
    QDeadlineTimer deadline(10000);
    while (readClipboard(x.display()) != "from xclip" && !deadline.hasExpired()) {}
    EXPECT_EQ(resultText(*zarnel.callTool("get_clipboard", nlohmann::json::object())), "Clipboard text:\n\nfrom xclip");

    const auto shot = zarnel.callTool("capture_screenshot", nlohmann::json::object(), 30000);
    ASSERT_TRUE(shot.has_value());
    const QByteArray png = QByteArray::fromBase64(QByteArray::fromStdString(shot->at("content").at(1).at("data").get<std::string>()));
    EXPECT_EQ(resultText(*shot), "Screenshot captured (" + std::to_string(png.size()) + " bytes)");
    EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), QSize(640, 480));
}

TEST(SystemToolsOnADesktop, TreatQtsOffscreenPlatformAsNoDisplay)
{
    XvfbServer x;
    TemporaryHome home;
    ZarnelProcess zarnel(home);
    ASSERT_NO_FATAL_FAILURE(startOnDisplay(zarnel, x, QStringLiteral("offscreen")));
    EXPECT_EQ(resultText(*zarnel.callTool("set_clipboard", {{"content", "x"}})), "Clipboard is not available: no display");
    EXPECT_EQ(resultText(*zarnel.callTool("capture_screenshot", nlohmann::json::object())), "No screen available");
    // Nor is a desktop instance started for it, which would outlive the display.
    QThread::msleep(1000);
    EXPECT_EQ(QDir(home.path() + QStringLiteral("/runtime/zarnel")).entryList({QStringLiteral("*.sock")}, QDir::System).size(), 1);
}

#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>

namespace {

using nlohmann::json;

const QByteArray kParseError = R"({"error":{"code":-32700,"message":"Parse error"},"jsonrpc":"2.0"})";

QByteArray ping(int id)
{
    return QByteArray(R"({"jsonrpc":"2.0","id":)") + QByteArray::number(id) + R"(,"method":"ping"})";
}

QByteArray pong(int id)
{
    return QByteArray(R"({"id":)") + QByteArray::number(id) + R"(,"jsonrpc":"2.0","result":{}})";
}

class StdioProtocol : public ::testing::Test {
protected:
    TemporaryHome home;
    ZarnelProcess zarnel{home};

    void SetUp() override { ASSERT_TRUE(zarnel.start()); }
};

TEST_F(StdioProtocol, AnswersTheInitializeHandshakeOfARealClient)
{
    zarnel.sendLine(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{"roots":{"listChanged":true}},"clientInfo":{"name":"c","version":"1"}}})");
    EXPECT_EQ(
        zarnel.readLine(),
        R"({"id":0,"jsonrpc":"2.0","result":{"capabilities":{"completions":{},"logging":{},"prompts":{"listChanged":true},"resources":{"listChanged":true,"subscribe":true},"tools":{"listChanged":true}},"protocolVersion":"2025-06-18","serverInfo":{"name":"Zarnel","version":"1.0.1"}}})");
    zarnel.sendLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    // The client declared roots: it is asked for them, and nothing else is written for the
    // notification.
    EXPECT_EQ(zarnel.readLine(), R"({"id":"zarnel-roots-1","jsonrpc":"2.0","method":"roots\/list"})");
    zarnel.sendLine(ping(1));
    EXPECT_EQ(zarnel.readLine(), pong(1));
}

TEST_F(StdioProtocol, FramesMessagesWhateverTheReadsLookLike)
{
    // Two messages in one write, one message split inside a UTF-8 character, CRLF, blank lines.
    zarnel.write(ping(1) + "\n" + ping(2) + "\n");
    const QByteArray split = R"({"jsonrpc":"2.0","id":"h\u00e9 )"
                             "\xE2\x9C";
    zarnel.write(split);
    zarnel.write("\x93\",\"method\":\"ping\"}\r\n\n   \t\n");
    EXPECT_EQ(zarnel.readLine(), pong(1));
    EXPECT_EQ(zarnel.readLine(), pong(2));
    EXPECT_EQ(zarnel.readLine(), QByteArray("{\"id\":\"h\xC3\xA9 \xE2\x9C\x93\",\"jsonrpc\":\"2.0\",\"result\":{}}"));
    EXPECT_TRUE(zarnel.staysSilent(200));
}

TEST_F(StdioProtocol, AnswersGarbageWithTheParseErrorAndStaysUp)
{
    zarnel.write(QByteArray("\x00\xFF\xFE garbage\n", 12));
    EXPECT_EQ(zarnel.readLine(), kParseError);
    zarnel.write("\xC3(\n");
    EXPECT_EQ(zarnel.readLine(), kParseError);
    zarnel.sendLine("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"");
    EXPECT_EQ(zarnel.readLine(), kParseError);
    zarnel.sendLine(ping(4));
    EXPECT_EQ(zarnel.readLine(), pong(4));
}

TEST_F(StdioProtocol, AnswersAFiveMebibyteLine)
{
    const std::string padding(5 * 1024 * 1024, 'x');
    zarnel.send(
        json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}, {"params", {{"name", "nope"}, {"arguments", {{"pad", padding}}}}}});
    const auto response = zarnel.readMessage(30000);
    ASSERT_TRUE(response);
    EXPECT_EQ((*response)["id"], 1);
    EXPECT_EQ((*response)["result"]["isError"], true);
    zarnel.sendLine(ping(2));
    EXPECT_EQ(zarnel.readLine(), pong(2));
}

TEST_F(StdioProtocol, AnswersTwoThousandPipelinedRequestsInOrder)
{
    QByteArray batch;
    for (int id = 1; id <= 2000; ++id)
        batch +=
            (id % 2 ? ping(id) : QByteArray(R"({"jsonrpc":"2.0","id":)") + QByteArray::number(id) + R"(,"method":"tools/list"})") + '\n';
    zarnel.write(batch);
    for (int id = 1; id <= 2000; ++id) {
        const auto response = zarnel.readMessage(20000);
        ASSERT_TRUE(response) << "no answer for " << id;
        ASSERT_EQ((*response)["id"], id);
    }
}

TEST_F(StdioProtocol, ExitsCleanlyWhenItsInputEnds)
{
    zarnel.sendLine(ping(1));
    zarnel.write(ping(2)); // no line feed: the end of input ends the message
    zarnel.closeInput();
    EXPECT_EQ(zarnel.readLine(), pong(1));
    EXPECT_EQ(zarnel.readLine(), pong(2));
    ASSERT_TRUE(zarnel.waitForExit());
    EXPECT_EQ(zarnel.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zarnel.process().exitCode(), 0);
    EXPECT_FALSE(zarnel.readLine(100));
}

TEST_F(StdioProtocol, EndsCleanlyOnAnInterrupt)
{
    // SIGTERM is what the statistics test ends zarnel with; here the other one.
    zarnel.sendLine(ping(1));
    ASSERT_EQ(zarnel.readLine(), pong(1));
    ::kill(static_cast<pid_t>(zarnel.process().processId()), SIGINT);
    ASSERT_TRUE(zarnel.waitForExit());
    EXPECT_EQ(zarnel.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zarnel.process().exitCode(), 0);
}

TEST_F(StdioProtocol, SurvivesAClientThatStopsReading)
{
    // Close our end of its standard output, then keep talking: the writes fail with EPIPE.
    zarnel.process().closeReadChannel(QProcess::StandardOutput);
    for (int id = 1; id <= 50; ++id)
        zarnel.sendLine(ping(id));
    zarnel.closeInput();
    ASSERT_TRUE(zarnel.waitForExit());
    EXPECT_EQ(zarnel.process().exitStatus(), QProcess::NormalExit);
}

// Exit status, standard output and standard error of zarnel run with these arguments.
std::tuple<int, QByteArray, QByteArray> runZarnel(const QStringList& arguments, const TemporaryHome& home = TemporaryHome())
{
    QProcess process;
    process.setProcessEnvironment(home.environment());
    process.start(ZarnelProcess::binaryPath(), arguments);
    process.closeWriteChannel();
    process.waitForFinished(10000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(CommandLine, AnswersHelpAndVersionAndRejectsAnythingElse)
{
    const auto [versionStatus, version, versionError] = runZarnel({QStringLiteral("--version")});
    EXPECT_EQ(versionStatus, 0);
    EXPECT_EQ(version, "Zarnel 1.0.1\n");
    const auto [helpStatus, help, helpError] = runZarnel({QStringLiteral("--help")});
    EXPECT_EQ(helpStatus, 0);
    EXPECT_TRUE(help.startsWith("Usage: zarnel"));
    for (const QStringList& arguments : {QStringList{"--verbose"}, QStringList{"--version", "x"}, QStringList{"serve"}}) {
        const auto [code, output, error] = runZarnel(arguments);
        EXPECT_EQ(code, 2);
        EXPECT_TRUE(output.isEmpty());
        EXPECT_TRUE(error.startsWith("zarnel: ")) << error.constData();
        EXPECT_TRUE(error.contains("Usage: zarnel")) << error.constData();
    }
}

TEST(CommandLine, ExplainsWhereToEnableTheServerWhenHeadlessWithoutAutoStart)
{
    TemporaryHome home;
    const auto [status, output, error] = runZarnel({}, home);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(output.isEmpty());
    EXPECT_TRUE(error.contains("autoStartServer")) << error.constData();
    EXPECT_TRUE(error.contains(home.preferencesPath().toUtf8())) << error.constData();
}

} // namespace

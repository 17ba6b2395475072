#include "server/MCPServer.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "protocol/JsonWriter.h"
#include "server/StdioTransport.h"
#include "state/ActivityLog.h"
#include "state/StatisticsManager.h"
#include "support/InProcessServer.h"
#include "support/WaitingTool.h"
#include "tools/ToolRegistry.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

const QByteArray kInitialize =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26","capabilities":{},"clientInfo":{"name":"client","version":"2.1"}}})";

const QByteArray kPong3 = R"({"id":3,"jsonrpc":"2.0","result":{}})";
// A request that waits its turn, and its answer.
const QByteArray kUnknown3 = R"({"jsonrpc":"2.0","id":3,"method":"no/such/method"})";
const QByteArray kNotFound3 = R"({"error":{"code":-32601,"message":"Method not found"},"id":3,"jsonrpc":"2.0"})";

// The inotify watches this process holds, as the kernel counts them.
int inotifyWatches()
{
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fdinfo"));
    for (const QString& fd : fds.entryList(QDir::Files)) {
        QFile info(fds.filePath(fd));
        if (info.open(QIODevice::ReadOnly))
            count += static_cast<int>(info.readAll().count("inotify wd:"));
    }
    return count;
}

class ServerTest : public InProcessServer {
protected:
    void SetUp() override { server().start(); }
    MCPServer& server() { return components->server(); }

    // Feeds the bytes and returns the lines written once `expected` lines are out (or 5 s passed).
    QByteArrayList exchange(const QByteArray& input, int expected = 1)
    {
        streams.feed(input);
        QDeadlineTimer deadline(5000);
        while (streams.written.count('\n') < expected && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
        return streams.takeLines();
    }

    QByteArray answer(const QByteArray& line)
    {
        const auto lines = exchange(line + '\n');
        return lines.isEmpty() ? QByteArray("<no answer>") : lines.join('\n');
    }

    QStringList logMessages() const
    {
        QStringList messages;
        for (const auto& entry : components->activityLog().entries())
            messages.prepend(entry.message);
        return messages;
    }
};

TEST_F(ServerTest, CountsEveryInitializeAndKeepsTheLastClient)
{
    answer(kInitialize);
    EXPECT_TRUE(server().initialized());
    EXPECT_TRUE(logMessages().contains(QStringLiteral("Connected: client v2.1")));
    answer(QByteArray(kInitialize).replace("\"client\"", "\"other\""));
    EXPECT_EQ(server().connectionCount(), 2);
    EXPECT_EQ(server().clientInfo()->name, "other");
}

TEST_F(ServerTest, AnswersEveryRowOfTheFailureTable)
{
    const std::vector<std::pair<QByteArray, QByteArray>> rows = {
        {R"({"jsonrpc":"2.0","id":3,"method":"Tools/List"})",
         R"({"error":{"code":-32601,"message":"Method not found"},"id":3,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":4,"method":"initialize"})",
         R"({"error":{"code":-32602,"message":"Invalid params"},"id":4,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":5,"method":"tools/call"})",
         R"({"error":{"code":-32602,"message":"Invalid params"},"id":5,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":6,"method":"resources/read"})",
         R"({"error":{"code":-32602,"message":"Invalid params"},"id":6,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":7,"method":"prompts/get"})",
         R"({"error":{"code":-32602,"message":"Invalid params"},"id":7,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":8,"method":"initialize","params":{"protocolVersion":"1","capabilities":{}}})",
         R"({"error":{"code":-32603,"message":"Internal error"},"id":8,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":"read_file"})",
         R"({"error":{"code":-32603,"message":"Internal error"},"id":9,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":10,"method":"resources/read","params":{"url":"x"}})",
         R"({"error":{"code":-32602,"message":"Invalid params"},"id":10,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":11,"method":"prompts/get","params":{"arguments":{}}})",
         R"({"error":{"code":-32602,"message":"Invalid params"},"id":11,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":12,"method":"resources/read","params":{"uri":"nowhere://x"}})",
         R"({"error":{"code":-32001,"message":"Resource not found: nowhere:\/\/x"},"id":12,"jsonrpc":"2.0"})"},
        {R"({"jsonrpc":"2.0","id":13,"method":"prompts/get","params":{"name":"nope"}})",
         R"({"error":{"code":-32002,"message":"Prompt not found: nope"},"id":13,"jsonrpc":"2.0"})"},
    };
    for (const auto& [request, expected] : rows)
        EXPECT_EQ(answer(request), expected) << request.constData();

    // Only the undecodable tool call counts as an error and leaves a failure entry.
    EXPECT_EQ(components->statistics().totalErrors(), 1);
    EXPECT_EQ(components->statistics().totalRequests(), static_cast<qint64>(rows.size()));
    const auto failures = logMessages().filter(QStringLiteral("failed"));
    ASSERT_EQ(failures.size(), 3);
    EXPECT_TRUE(failures[0].startsWith(QStringLiteral("Tool call failed: Expected an object but found a string")));
    EXPECT_EQ(failures[1], QStringLiteral("Resource read failed: Resource not found: nowhere://x"));
    EXPECT_EQ(failures[2], QStringLiteral("Prompt get failed: Prompt not found: nope"));
}

TEST_F(ServerTest, AnswersAnUnknownToolWithAnErrorResultAndCountsAFailedCall)
{
    EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":"a/b","method":"tools/call","params":{"name":"nope"}})"),
              R"({"id":"a\/b","jsonrpc":"2.0","result":{"content":[{"text":"Tool 'nope' not found","type":"text"}],"isError":true}})");
    EXPECT_EQ(components->statistics().totalToolCalls(), 1);
    EXPECT_EQ(components->statistics().totalErrors(), 1);
    EXPECT_EQ(logMessages().mid(1), (QStringList{"Request: tools/call", "Tool call: nope", "Tool error: nope: Tool 'nope' not found"}));
}

TEST_F(ServerTest, AFailedCallKeepsItsReasonOnOneLineOfTheLog)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QByteArray call = R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":{"name":"read_file","arguments":{"path":")"
        + missing.toUtf8() + R"("}}})";
    EXPECT_NE(answer(call).indexOf(R"("isError":true)"), -1);
    const QString failure = logMessages().constLast();
    EXPECT_TRUE(failure.startsWith(QStringLiteral("Tool error: read_file: "))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(missing)) << failure.toStdString();
}

TEST_F(ServerTest, CountsNotificationsWithoutAnsweringThemAndAnswersNonRequestsWithTheParseError)
{
    const QByteArray parseError = R"({"error":{"code":-32700,"message":"Parse error"},"jsonrpc":"2.0"})";
    for (const QByteArray& line :
         {QByteArray("\r"), QByteArray("[1,2]"), QByteArray(R"({"jsonrpc":"2.0","id":1})"),
          QByteArray(R"({"jsonrpc":"2.0","id":1.5,"method":"ping"})"), QByteArray("{\"jsonrpc\":\"2.0\",\"method\":\"\xFF\"}")})
        EXPECT_EQ(answer(line), parseError) << line.toHex().constData();
    EXPECT_EQ(components->statistics().totalRequests(), 0);

    // Output that fails once does not stop the answers after it.
    streams.outputBroken = true;
    exchange(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
             "\n"
             R"({"jsonrpc":"2.0","id":1,"method":"ping"})"
             "\n",
             0);
    streams.outputBroken = false;
    EXPECT_EQ(exchange(R"({"jsonrpc":"2.0","id":null,"method":"tools/list"})"
                       "\n"
                       R"({"jsonrpc":"2.0","id":3,"method":"ping"})"
                       "\n"),
              QByteArrayList{kPong3});
    EXPECT_EQ(components->statistics().totalRequests(), 4);
    EXPECT_TRUE(logMessages().contains(QStringLiteral("Request: notifications/initialized")));
}

TEST_F(ServerTest, DropsALineTooLongToKeepAndAnswersItWithTheParseError)
{
    components->transport().setMaxLineBytes(64);
    const QByteArray parseError = R"({"error":{"code":-32700,"message":"Parse error"},"jsonrpc":"2.0"})";
    // Over the limit within one read, and over it across reads before its line feed comes.
    const QByteArray tooLong = R"({"jsonrpc":"2.0","id":1,"method":"ping","params":{"pad":")" + QByteArray(100, 'x') + "\"}}";
    EXPECT_EQ(exchange(tooLong + "\n"
                           + R"({"jsonrpc":"2.0","id":3,"method":"ping"})"
                             "\n",
                       2),
              (QByteArrayList{parseError, kPong3}));
    streams.feed(tooLong.left(50));
    streams.feed(tooLong.mid(50));
    EXPECT_EQ(exchange("\n"
                       R"({"jsonrpc":"2.0","id":3,"method":"ping"})"
                       "\n",
                       2),
              (QByteArrayList{parseError, kPong3}));
}

TEST_F(ServerTest, WritesAResultLargerThanOnePieceAsOneWholeLine)
{
    // A file's contents go out as they are escaped; the line must still be the whole answer,
    // with the next answer after it.
    std::string text;
    for (int i = 0; text.size() < 3 * JsonWriter::kDrainBytes; ++i)
        text += "line " + std::to_string(i) + " \"quoted\" a/b\t\xC3\xA9\n" + std::string(static_cast<std::size_t>(i % 4000), 'x');
    QFile file(dir.path() + QStringLiteral("/large.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    file.close();

    exchange(kInitialize + '\n');
    const Json call = {{"jsonrpc", "2.0"},
                       {"id", 2},
                       {"method", "tools/call"},
                       {"params", {{"name", "read_file"}, {"arguments", {{"path", file.fileName().toStdString()}}}}}};
    const Json expected = {{"jsonrpc", "2.0"}, {"id", 2}, {"result", {{"content", Json::array({{{"type", "text"}, {"text", text}}})}}}};
    const auto lines = exchange(QByteArray::fromStdString(JsonWriter::compact(call)) + "\n" + kUnknown3 + "\n", 2);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].toStdString() == JsonWriter::compact(expected));
    EXPECT_EQ(lines[1], kNotFound3);
}

TEST_F(ServerTest, DropsAQueuedRequestThatIsCancelledAndIgnoresOtherCancellations)
{
    components->tools().registerTool(std::make_shared<WaitingTool>(200));
    // Request 2 waits behind the running call when it is cancelled; "zz" is unknown.
    const auto lines = exchange(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"wait"}})"
                                "\n"
                                R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})"
                                "\n"
                                R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":2}})"
                                "\n"
                                R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"zz"}})"
                                "\n" + kUnknown3
                                    + "\n",
                                2);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(R"("id":1)"));
    EXPECT_EQ(lines[1], kNotFound3);
    // Cancelling what has been answered already changes nothing.
    EXPECT_EQ(exchange(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})"
                       "\n"
                       R"({"jsonrpc":"2.0","id":3,"method":"ping"})"
                       "\n"),
              QByteArrayList{kPong3});
    EXPECT_EQ(logMessages().filter(QStringLiteral("Request cancelled")).size(), 1);
}

TEST_F(ServerTest, AnswersAPingAtOnceWhileACallRunsAndKeepsEveryOtherRequestInItsPlace)
{
    components->tools().registerTool(std::make_shared<WaitingTool>(60000));
    exchange(kInitialize + '\n');
    // The call waits; the ping behind it is answered before it, the unknown method after it.
    EXPECT_EQ(exchange(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"wait"}})"
                       "\n"
                       + kUnknown3 + "\n" + R"({"jsonrpc":"2.0","id":"alive","method":"ping"})" + "\n"),
              QByteArrayList{R"({"id":"alive","jsonrpc":"2.0","result":{}})"});
    // The call in progress is still the one a cancellation reaches.
    const auto rest = exchange(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})"
                               "\n",
                               1);
    EXPECT_EQ(rest, QByteArrayList{kNotFound3});
    EXPECT_EQ(logMessages().filter(QStringLiteral("Request cancelled: tools/call")).size(), 1);
    EXPECT_EQ(logMessages().filter(QStringLiteral("Request: ping")).size(), 1);
}

TEST_F(ServerTest, StopsReadingWhileWhatWaitsBehindACallPassesALinesLimitAndReadsOnAsItIsAnswered)
{
    components->tools().registerTool(std::make_shared<WaitingTool>(300));
    components->transport().setMaxLineBytes(1024);
    exchange(kInitialize + '\n');
    QByteArray many = R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"wait"}})"
                      "\n";
    while (many.size() < 4096)
        many += kUnknown3 + '\n';
    streams.feed(many);
    // What was read stays; the rest waits in the client's pipe.
    EXPECT_FALSE(streams.reading);
    const int count = static_cast<int>(many.count('\n'));
    EXPECT_EQ(exchange({}, count).size(), count);
    EXPECT_TRUE(streams.reading);
}

TEST_F(ServerTest, AnswersEverythingReadWhenOnlyTheInputEndsEvenALastLineWithoutLineFeed)
{
    bool finished = false;
    QObject::connect(&server(), &MCPServer::inputFinished, [&] { finished = true; });
    streams.feed(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"
                 "\n"
                 R"({"jsonrpc":"2.0","id":3,"method":"ping"})");
    streams.endInput();
    QDeadlineTimer deadline(5000);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(finished);
    EXPECT_EQ(streams.takeLines(), (QByteArrayList{R"({"id":1,"jsonrpc":"2.0","result":{}})", kPong3}));
}

TEST_F(ServerTest, CancelsWhatRunsAndDropsWhatIsQueuedWhenTheClientIsGone)
{
    auto waiting = std::make_shared<WaitingTool>(60000);
    components->tools().registerTool(waiting);
    bool finished = false;
    QObject::connect(&server(), &MCPServer::inputFinished, [&] { finished = true; });
    exchange(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"wait"}})"
             "\n"
             R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"wait"}})"
             "\n",
             0);
    // Input ended and the output closed: no one is left to answer.
    streams.outputBroken = true;
    streams.endInput();
    QDeadlineTimer deadline(30000);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(waiting->sawCancellation);
    EXPECT_EQ(components->statistics().totalToolCalls(), 1);
    EXPECT_TRUE(streams.written.isEmpty());
}

TEST_F(ServerTest, RefusesSubscriptionsPastTheProcessLimitAndReleasesTheirWatches)
{
    initialize("2025-11-25");
    const int watchesBefore = inotifyWatches();
    const auto subscription = [&](const char* method, int n) {
        const QString path = dir.filePath(QStringLiteral("watched-%1.txt").arg(n));
        QFile(path).open(QIODevice::WriteOnly);
        const Json line = {{"jsonrpc", "2.0"}, {"id", n}, {"method", method}, {"params", {{"uri", "file://" + path.toStdString()}}}};
        return QByteArray::fromStdString(JsonWriter::compact(line)) + '\n';
    };
    const QByteArray ok = R"("result":{})";
    const auto counting = [](const QByteArrayList& lines, const QByteArray& text) {
        return std::count_if(lines.cbegin(), lines.cend(), [&](const QByteArray& line) { return line.contains(text); });
    };
    QByteArray requests;
    for (int n = 0; n < 2000; ++n)
        requests += subscription("resources/subscribe", n);
    const QByteArrayList answers = exchange(requests, 2000);
    ASSERT_EQ(answers.size(), 2000);
    EXPECT_EQ(counting(answers, ok), ResourceSubscriptions::kMaxSubscriptions);
    EXPECT_EQ(counting(answers, R"("error":{"code":-32603,"message":"Too many subscriptions"})"),
              2000 - ResourceSubscriptions::kMaxSubscriptions);
    EXPECT_EQ(inotifyWatches(), watchesBefore + ResourceSubscriptions::kMaxSubscriptions + 1); // the files and their folder

    // An ended subscription makes room for another, and gives its watch back.
    EXPECT_TRUE(answer(subscription("resources/unsubscribe", 0).chopped(1)).contains(ok));
    EXPECT_EQ(inotifyWatches(), watchesBefore + ResourceSubscriptions::kMaxSubscriptions);
    EXPECT_TRUE(answer(subscription("resources/subscribe", 1999).chopped(1)).contains(ok));
    EXPECT_FALSE(answer(subscription("resources/subscribe", 1998).chopped(1)).contains(ok));

    components.reset();
    EXPECT_EQ(inotifyWatches(), watchesBefore);
}

} // namespace

namespace {

// A client's process whose server has not started: what its client sends is read and waits.
class WaitingClientTest : public ServerTest {
protected:
    void SetUp() override { server().keepReadingWhileStopped(); }

    // Lets the event loop run a while: what is written by then is what the client got.
    QByteArrayList linesAfterAWhile()
    {
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return streams.takeLines();
    }
};

const QByteArray kClaudeInitialize =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-11-25","capabilities":{},"clientInfo":{"name":"Claude Code","version":"1.2"}}})";
const QByteArray kPing2 = R"({"jsonrpc":"2.0","id":2,"method":"ping"})";

} // namespace

TEST_F(WaitingClientTest, HoldsRequestsUnansweredUntilTheStartThenAnswersThemInOrder)
{
    QSignalSpy waiting(&server(), &MCPServer::isWaitingChanged);
    streams.feed(kClaudeInitialize + '\n' + kPing2 + '\n' + kUnknown3 + '\n');
    EXPECT_TRUE(linesAfterAWhile().isEmpty());
    EXPECT_TRUE(server().isWaiting());
    EXPECT_EQ(waiting.size(), 1);
    // Named from its initialize, which is not answered yet: not a connection.
    ASSERT_TRUE(server().clientInfo());
    EXPECT_EQ(server().clientInfo()->name, "Claude Code");
    EXPECT_EQ(server().connectionCount(), 0);
    EXPECT_TRUE(logMessages().contains(QStringLiteral("Client waiting: Claude Code v1.2"))) << logMessages().join('|').toStdString();

    server().start();
    const QByteArrayList answered = exchange({}, 3);
    ASSERT_EQ(answered.size(), 3);
    EXPECT_TRUE(answered[0].startsWith("{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{\"capabilities\""));
    EXPECT_EQ(answered[1], R"({"id":2,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(answered[2], kNotFound3);
    EXPECT_FALSE(server().isWaiting());
    EXPECT_EQ(server().connectionCount(), 1);
}

TEST_F(WaitingClientTest, AStatelessClientIsNamedFromItsRequest)
{
    streams.feed(
        R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":"2026-07-28",)"
        R"("io.modelcontextprotocol/clientCapabilities":{},"io.modelcontextprotocol/clientInfo":{"name":"Cursor","version":"3"}}}})"
        "\n");
    EXPECT_TRUE(linesAfterAWhile().isEmpty());
    ASSERT_TRUE(server().clientInfo());
    EXPECT_EQ(server().clientInfo()->name, "Cursor");
    EXPECT_TRUE(server().isWaiting());
}

TEST_F(WaitingClientTest, ANotificationAloneIsNoWaitingClient)
{
    streams.feed(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
                 "\n");
    linesAfterAWhile();
    EXPECT_FALSE(server().isWaiting());
    EXPECT_FALSE(server().clientInfo());
}

TEST_F(WaitingClientTest, AStopKeepsTheConversationAndHoldsWhatComesUntilTheNextStart)
{
    server().start();
    EXPECT_EQ(exchange(kClaudeInitialize + '\n').size(), 1);
    server().stop();
    streams.feed(kPing2 + '\n');
    EXPECT_TRUE(linesAfterAWhile().isEmpty());
    EXPECT_TRUE(server().isWaiting());
    EXPECT_TRUE(logMessages().contains(QStringLiteral("Client waiting: Claude Code v1.2")));

    server().start();
    EXPECT_EQ(exchange({}, 1), QByteArrayList{R"({"id":2,"jsonrpc":"2.0","result":{}})"});
    // Still the session it initialized: nothing to negotiate again.
    EXPECT_EQ(server().negotiatedRevision(), ProtocolRevision::V2025_11_25);
}

TEST_F(WaitingClientTest, StopsReadingWhenWhatWaitsPassesALinesLimitAndReadsOnAtTheStart)
{
    components->transport().setMaxLineBytes(1024);
    const QByteArray ping = kPing2 + '\n';
    QByteArray many;
    while (many.size() < 2048)
        many += ping;
    streams.feed(many);
    // What was read stays; the rest waits with the client.
    EXPECT_FALSE(streams.reading);
    EXPECT_TRUE(linesAfterAWhile().isEmpty());

    server().start();
    EXPECT_TRUE(streams.reading);
    const int count = static_cast<int>(many.count('\n'));
    EXPECT_EQ(exchange({}, count).size(), count);
}

TEST_F(WaitingClientTest, AClientThatLeavesWhileWaitingEndsTheInputWithNothingAnswered)
{
    bool finished = false;
    QObject::connect(&server(), &MCPServer::inputFinished, [&] { finished = true; });
    streams.feed(kClaudeInitialize + '\n');
    streams.endInput();
    QDeadlineTimer deadline(5000);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(streams.takeLines().isEmpty());
}

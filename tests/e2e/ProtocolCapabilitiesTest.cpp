#include "support/RunningProcesses.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {

using nlohmann::json;

class ProtocolCapabilities : public ::testing::Test {
protected:
    TemporaryHome home;
    ZarnelProcess zarnel{home};

    void SetUp() override
    {
        ASSERT_TRUE(zarnel.start());
        ASSERT_TRUE(zarnel.initialize());
    }

    json call(int id, const std::string& method, const json& params)
    {
        return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
    }

    void writeFile(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // Every line that arrives within the time.
    std::vector<json> collect(int milliseconds)
    {
        std::vector<json> lines;
        QDeadlineTimer deadline(milliseconds);
        while (!deadline.hasExpired()) {
            auto line = zarnel.readMessage(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
            if (line)
                lines.push_back(*line);
        }
        return lines;
    }
};

TEST_F(ProtocolCapabilities, CancelsARunningCommandAndAnswersWhatCameMeanwhileInOrder)
{
    zarnel.send(call(10, "tools/call", {{"name", "execute_command"}, {"arguments", {{"command", "sleep 61"}}}}));
    zarnel.send(call(11, "ping", json::object()));
    zarnel.send(call(12, "tools/list", json::object()));
    QThread::msleep(1000);
    ASSERT_EQ(runningSleeps({"61"}), 1);

    QElapsedTimer answered;
    answered.start();
    zarnel.send({{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", 10}, {"reason", "gave up"}}}});
    const auto first = zarnel.readMessage();
    ASSERT_TRUE(first);
    EXPECT_EQ((*first)["id"], 11); // nothing for the cancelled call
    EXPECT_LT(answered.elapsed(), 5000);
    const auto second = zarnel.readMessage();
    ASSERT_TRUE(second);
    EXPECT_EQ((*second)["id"], 12);
    EXPECT_TRUE(zarnel.staysSilent(300));

    QDeadlineTimer deadline(5000);
    while (runningSleeps({"61"}) > 0 && !deadline.hasExpired())
        QThread::msleep(50);
    EXPECT_EQ(runningSleeps({"61"}), 0);
}

TEST_F(ProtocolCapabilities, StopsACancelledSearchOfALargeTree)
{
    // A tree deep and wide enough that a full walk takes far longer than the test waits.
    const QString root = home.path() + QStringLiteral("/tree");
    for (int a = 0; a < 40; ++a)
        for (int b = 0; b < 40; ++b)
            QDir().mkpath(QStringLiteral("%1/d%2/e%3/f/g/h").arg(root).arg(a).arg(b));
    zarnel.send(
        call(20, "tools/call", {{"name", "search_files"}, {"arguments", {{"directory", root.toStdString()}, {"pattern", "*.none"}}}}));
    zarnel.send({{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", 20}}}});
    zarnel.send(call(21, "ping", json::object()));
    const auto next = zarnel.readMessage(10000);
    ASSERT_TRUE(next);
    EXPECT_EQ((*next)["id"], 21);
}

TEST_F(ProtocolCapabilities, SendsLogMessagesOnlyAtOrAboveTheChosenLevel)
{
    ASSERT_TRUE(zarnel.request("tools/list"));
    EXPECT_TRUE(zarnel.staysSilent(200)); // nothing before a level is set

    const auto set = zarnel.request("logging/setLevel", {{"level", "error"}});
    ASSERT_TRUE(set);
    EXPECT_EQ((*set)["result"], json::object());
    zarnel.send(call(30, "tools/call", {{"name", "no_such_tool"}, {"arguments", json::object()}}));
    EXPECT_EQ(
        zarnel.readLine(),
        R"({"jsonrpc":"2.0","method":"notifications\/message","params":{"data":"Tool error: no_such_tool: Tool 'no_such_tool' not found","level":"error","logger":"zarnel"}})");
    EXPECT_EQ((*zarnel.readMessage())["id"], 30);
    EXPECT_TRUE(zarnel.staysSilent(300));

    for (const json& params : {json{{"level", "loud"}}, json{{"level", 3}}, json::object()}) {
        const auto wrong = zarnel.request("logging/setLevel", params);
        ASSERT_TRUE(wrong);
        EXPECT_EQ((*wrong)["error"]["code"], -32602) << params;
    }
}

TEST_F(ProtocolCapabilities, ListsTheLocalFileTemplate)
{
    zarnel.sendLine(R"({"jsonrpc":"2.0","id":5,"method":"resources/templates/list"})");
    EXPECT_EQ(
        zarnel.readLine(),
        R"({"id":5,"jsonrpc":"2.0","result":{"resourceTemplates":[{"description":"Any readable UTF-8 text file on this machine","mimeType":"text\/plain","name":"Local file","uriTemplate":"file:\/\/\/{path}"}]}})");
}

TEST_F(ProtocolCapabilities, ReportsARewrittenSubscribedFileAndNothingElse)
{
    const QString watched = home.path() + QStringLiteral("/watched.txt");
    const QString other = home.path() + QStringLiteral("/other.txt");
    for (const QString& path : {watched, other})
        writeFile(path, "before");
    const std::string uri = "file://" + watched.toStdString();
    ASSERT_TRUE(zarnel.request("resources/subscribe", {{"uri", uri}}));

    for (const QString& path : {other, watched})
        writeFile(path, "after, and longer");
    const auto lines = collect(1500);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (json{{"jsonrpc", "2.0"}, {"method", "notifications/resources/updated"}, {"params", {{"uri", uri}}}}));

    ASSERT_TRUE(zarnel.request("resources/unsubscribe", {{"uri", uri}}));
    writeFile(watched, "again");
    EXPECT_TRUE(collect(1000).empty());
}

TEST_F(ProtocolCapabilities, SendsOneUpdateForABurstOfLoggedRequests)
{
    const auto subscribed = zarnel.request("resources/subscribe", {{"uri", "zarnel://activity-log"}});
    ASSERT_TRUE(subscribed);
    EXPECT_EQ((*subscribed)["result"], json::object());
    collect(800); // the subscription request itself was logged

    QByteArray burst;
    for (int id = 100; id < 120; ++id)
        burst += QByteArray::fromStdString(call(id, "ping", json::object()).dump()) + '\n';
    zarnel.write(burst);
    int updates = 0;
    int answers = 0;
    for (const json& line : collect(1500)) {
        if (line.contains("id"))
            ++answers;
        else if (line["method"] == "notifications/resources/updated" && line["params"]["uri"] == "zarnel://activity-log")
            ++updates;
    }
    EXPECT_EQ(answers, 20);
    EXPECT_EQ(updates, 1);

    const auto refused = zarnel.request("resources/subscribe", {{"uri", "zarnel://nothing"}});
    ASSERT_TRUE(refused);
    EXPECT_EQ((*refused)["error"], json::parse(R"({"code":-32001,"message":"Resource not found: zarnel://nothing"})"));
}

TEST_F(ProtocolCapabilities, ReadsAResourceAndRendersAPrompt)
{
    const QString path = home.path() + QStringLiteral("/a b.txt");
    writeFile(path, "hello");
    const std::string uri = "file://" + home.path().toStdString() + "/a%20b.txt";
    const auto read = zarnel.request("resources/read", {{"uri", uri}});
    ASSERT_TRUE(read);
    EXPECT_EQ((*read)["result"], (json{{"contents", {{{"uri", uri}, {"mimeType", "text/plain"}, {"type", "text"}, {"text", "hello"}}}}}));

    const auto prompt = zarnel.request("prompts/get", {{"name", "analyze_file"}, {"arguments", {{"file_path", path.toStdString()}}}});
    ASSERT_TRUE(prompt);
    const std::string text = (*prompt)["result"]["messages"][0]["content"]["text"];
    EXPECT_TRUE(text.ends_with("File Content:\n```\nhello\n```\n"));
}

} // namespace

// Each revision's view of the same server: negotiation, what each list carries, the error codes,
// the stateless envelope, batches, questions to the user, progress and completions.

#include "server/ClientQuestions.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "support/AskingTool.h"
#include "support/InProcessServer.h"
#include "tools/ToolRegistry.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using nlohmann::json;

class Revisions : public InProcessServer {
protected:
    void SetUp() override
    {
        components->tools().registerTool(std::make_shared<AskingTool>(components->server().clientQuestions()));
        components->server().start();
    }

    json tool(const json& list, const std::string& name)
    {
        for (const json& entry : list["result"]["tools"]) {
            if (entry["name"] == name)
                return entry;
        }
        return json();
    }
};

TEST_F(Revisions, NegotiatesTheClientsRevisionOrTheNewestLegacyOne)
{
    for (const char* version : {"2024-11-05", "2025-03-26", "2025-06-18", "2025-11-25"})
        EXPECT_EQ(initialize(version)["result"]["protocolVersion"], version);
    EXPECT_EQ(initialize("2026-07-28")["result"]["protocolVersion"], "2025-11-25");
    EXPECT_EQ(initialize("1999-01-01")["result"]["protocolVersion"], "2025-11-25");
    EXPECT_FALSE(initialize("2024-11-05")["result"]["capabilities"].contains("completions"));
    EXPECT_TRUE(initialize("2025-03-26")["result"]["capabilities"].contains("completions"));
    EXPECT_EQ(components->server().negotiatedRevision(), ProtocolRevision::V2025_03_26);
}

TEST_F(Revisions, GivesEachRevisionTheToolFieldsItHas)
{
    initialize("2024-11-05");
    json deleteFile = tool(request("tools/list"), "delete_file");
    EXPECT_FALSE(deleteFile.contains("annotations"));
    EXPECT_FALSE(deleteFile.contains("title"));

    initialize("2025-03-26");
    deleteFile = tool(request("tools/list"), "delete_file");
    EXPECT_EQ(deleteFile["annotations"]["destructiveHint"], true);
    EXPECT_EQ(deleteFile["annotations"]["title"], "Delete File");
    EXPECT_FALSE(deleteFile.contains("title"));
    EXPECT_FALSE(tool(request("tools/list"), "get_system_info").contains("outputSchema"));

    initialize("2025-06-18");
    const json list = request("tools/list");
    EXPECT_EQ(tool(list, "delete_file")["title"], "Delete File");
    EXPECT_EQ(tool(list, "read_file")["annotations"]["readOnlyHint"], true);
    EXPECT_EQ(tool(list, "execute_command")["annotations"]["openWorldHint"], true);
    EXPECT_EQ(request("prompts/list")["result"]["prompts"][0]["title"], "Analyze File");
    EXPECT_EQ(request("resources/list")["result"]["resources"][0]["title"], "System Information");
}

TEST_F(Revisions, AnswersFailuresWithTheCodesOfTheRevision)
{
    struct Row {
        const char* version;
        std::string method;
        json params;
        int code;
    };
    const std::vector<Row> rows = {
        {"2025-03-26", "resources/read", {{"uri", "zarnel://nothing"}}, -32002},
        {"2025-03-26", "prompts/get", {{"name", "nope"}}, -32602},
        {"2025-03-26", "prompts/get", {{"name", "analyze_file"}}, -32602},
        {"2025-03-26", "tools/call", {{"arguments", json::object()}}, -32602},
        {"2025-06-18", "tools/call", {{"name", "nope"}}, -32602},
        {"2025-06-18", "tools/call", {{"name", "read_file"}, {"arguments", {{"path", 5}}}}, -32602},
        {"2025-11-25", "tools/call", {{"name", "nope"}}, -32602},
    };
    for (const Row& row : rows) {
        initialize(row.version);
        const json answer = request(row.method, row.params);
        EXPECT_EQ(answer["error"]["code"], row.code) << row.version << " " << row.method << " " << row.params.dump();
    }
    initialize("2025-03-26");
    EXPECT_EQ(request("resources/read", {{"uri", "zarnel://nothing"}})["error"]["data"], (json{{"uri", "zarnel://nothing"}}));
    // From 2025-11-25 on, arguments the schema rejects are a result the model can act on.
    initialize("2025-11-25");
    const json rejected = request("tools/call", {{"name", "read_file"}, {"arguments", {{"path", 5}}}});
    EXPECT_EQ(rejected["result"]["isError"], true);
    EXPECT_NE(rejected["result"]["content"][0]["text"].get<std::string>().find("path"), std::string::npos);
}

TEST_F(Revisions, PublishesWholeNumberArgumentsAsIntegersFrom20250326AndTakesThemInEveryForm)
{
    initialize("2024-11-05");
    json properties = tool(request("tools/list"), "execute_command")["inputSchema"]["properties"];
    EXPECT_EQ(properties["timeout"], (json{{"type", "string"}, {"description", "Timeout in seconds (default: 30)"}}));
    EXPECT_EQ(tool(request("tools/list"), "search_files")["inputSchema"]["properties"]["max_results"]["type"], "string");

    QTemporaryDir folder;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // "Found 2 file(s) matching '*.txt':" and then one path a line.
    const auto found = [&](const json& answer) {
        const std::string text = answer["result"]["content"][0]["text"].get<std::string>();
        return text.rfind("Found ", 0) == 0 ? std::stoi(text.substr(6)) : 0;
    };
    const auto search = [&](json maxResults) {
        return request("tools/call",
                       {{"name", "search_files"},
                        {"arguments", {{"pattern", "*.txt"}, {"directory", folder.path().toStdString()}, {"max_results", maxResults}}}});
    };
    for (const char* version : {"2024-11-05", "2025-03-26", "2025-06-18", "2025-11-25"}) {
        initialize(version);
        for (const json& two : {json(2), json(2.0), json("2")}) {
            const json answer = search(two);
            EXPECT_FALSE(answer["result"].value("isError", false)) << version << " " << answer.dump();
            EXPECT_EQ(found(answer), 2) << version << " " << two.dump();
        }
        const json recursive = request(
            "tools/call", {{"name", "list_directory"}, {"arguments", {{"path", folder.path().toStdString()}, {"recursive", "true"}}}});
        EXPECT_FALSE(recursive["result"].value("isError", false)) << version << " " << recursive.dump();
    }
    for (const char* version : {"2025-03-26", "2025-06-18", "2025-11-25"}) {
        initialize(version);
        properties = tool(request("tools/list"), "execute_command")["inputSchema"]["properties"];
        EXPECT_EQ(properties["timeout"], (json{{"type", "integer"}, {"description", "Timeout in seconds (default: 30)"}, {"minimum", 1}}));
        EXPECT_EQ(tool(request("tools/list"), "search_files")["inputSchema"]["properties"]["max_results"]["minimum"], 0);
        for (const json& wrong : {json("two"), json(2.5), json(true), json("2.0")}) {
            const json answer = search(wrong);
            const std::string text = answer.contains("error") ? answer["error"]["message"].get<std::string>()
                                                              : answer["result"]["content"][0]["text"].get<std::string>();
            EXPECT_EQ(text, "Invalid arguments for tool search_files: argument 'max_results' must be of type integer")
                << version << " " << wrong.dump();
        }
    }
    EXPECT_EQ(tool(modern("tools/list"), "execute_command")["inputSchema"]["properties"]["timeout"]["type"], "integer");
    EXPECT_EQ(found(modern("tools/call",
                           {{"name", "search_files"},
                            {"arguments", {{"pattern", "*.txt"}, {"directory", folder.path().toStdString()}, {"max_results", 1}}}})),
              1);
}

TEST_F(Revisions, CountsAStatelessClientOnceFromTheFirstRequestThatNamesIt)
{
    json params;
    modern("server/discover");
    EXPECT_EQ(components->server().connectionCount(), 0);
    params["_meta"]["io.modelcontextprotocol/clientInfo"] = {{"name", "mcpc"}, {"version", "0.2.6"}};
    modern("tools/list", params);
    modern("prompts/list", params);
    params["_meta"]["io.modelcontextprotocol/clientInfo"] = {{"name", "other"}, {"version", "1"}};
    modern("resources/list", params);
    EXPECT_EQ(components->server().connectionCount(), 1);
    ASSERT_TRUE(components->server().clientInfo());
    EXPECT_EQ(components->server().clientInfo()->name, "mcpc");
    int connected = 0;
    for (const auto& entry : components->server().activityLog().entries())
        connected += entry.message == QStringLiteral("Connected: mcpc v0.2.6") ? 1 : 0;
    EXPECT_EQ(connected, 1);
    const json status =
        json::parse(modern("resources/read", {{"uri", "zarnel://server-status"}})["result"]["contents"][0]["text"].get<std::string>());
    EXPECT_EQ(status["connection_count"], 1);
}

TEST_F(Revisions, ServesStatelessRequestsByTheirOwnEnvelope)
{
    initialize("2024-11-05"); // a session does not change what a stateless request sees
    const json discover = modern("server/discover");
    EXPECT_EQ(discover["result"]["supportedVersions"], json::array({"2026-07-28"}));
    EXPECT_EQ(discover["result"]["resultType"], "complete");
    EXPECT_TRUE(discover["result"].contains("ttlMs"));
    EXPECT_EQ(discover["result"]["_meta"]["io.modelcontextprotocol/serverInfo"]["name"], "Zarnel");

    const json list = modern("tools/list");
    EXPECT_EQ(list["result"]["resultType"], "complete");
    EXPECT_EQ(list["result"]["cacheScope"], "public");
    EXPECT_EQ(tool(list, "write_file")["title"], "Write File");
    EXPECT_EQ(modern("resources/read", {{"uri", "zarnel://nothing"}})["error"],
              (json{{"code", -32602}, {"message", "Resource not found: zarnel://nothing"}, {"data", {{"uri", "zarnel://nothing"}}}}));
    EXPECT_EQ(modern("ping")["error"]["code"], -32601);
    EXPECT_EQ(modern("resources/subscribe", {{"uri", "zarnel://statistics"}})["error"]["code"], -32601);

    // The legacy session is untouched by what came between.
    EXPECT_FALSE(tool(request("tools/list"), "write_file").contains("title"));
}

TEST_F(Revisions, RefusesABadEnvelopeInTheCheckOrder)
{
    json unsupported = request("tools/list", {{"_meta", {{kVersionKey, "1900-01-01"}}}});
    EXPECT_EQ(unsupported["error"]["code"], -32022);
    EXPECT_EQ(unsupported["error"]["data"], (json{{"supported", {"2026-07-28"}}, {"requested", "1900-01-01"}}));
    EXPECT_EQ(request("tools/list", {{"_meta", {{kVersionKey, 20260728}}}})["error"]["code"], -32602);
    EXPECT_EQ(request("tools/list", {{"_meta", {{kVersionKey, "2026-07-28"}}}})["error"]["code"], -32602);
    EXPECT_EQ(request("tools/list",
                      {{"_meta",
                        {{kVersionKey, "2026-07-28"},
                         {kCapabilitiesKey, json::object()},
                         {"io.modelcontextprotocol/logLevel", "loud"}}}})["error"]["code"],
              -32602);
    // A legacy client's progress token alone does not make a request stateless.
    EXPECT_TRUE(request("tools/list", {{"_meta", {{"progressToken", 1}}}})["result"].contains("tools"));
}

TEST_F(Revisions, AnswersBatchesIn20250326SessionsOnly)
{
    initialize("2025-03-26");
    streams.feed(R"([{"jsonrpc":"2.0","id":"a","method":"ping"},{"jsonrpc":"2.0","method":"notifications/initialized"},)"
                 R"({"jsonrpc":"2.0","id":"b","method":"initialize","params":{}},{"jsonrpc":"2.0","id":"c","method":"nope"},5])"
                 "\n"
                 "[]\n"
                 R"([{"jsonrpc":"2.0","method":"notifications/initialized"}])"
                 "\n"
                 R"({"jsonrpc":"2.0","id":"end","method":"ping"})"
                 "\n");
    QByteArrayList lines;
    QDeadlineTimer deadline(5000);
    while (!lines.join('\n').contains("\"end\"") && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        lines += streams.takeLines();
    }
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(
        lines[0],
        R"([{"id":"a","jsonrpc":"2.0","result":{}},{"error":{"code":-32600,"message":"Invalid Request"},"id":"b","jsonrpc":"2.0"},)"
        R"({"error":{"code":-32601,"message":"Method not found"},"id":"c","jsonrpc":"2.0"},{"error":{"code":-32600,"message":"Invalid Request"},"jsonrpc":"2.0"}])");
    EXPECT_EQ(lines[1], R"({"error":{"code":-32600,"message":"Invalid Request"},"jsonrpc":"2.0"})");

    initialize("2025-06-18");
    streams.feed(R"([{"jsonrpc":"2.0","id":"a","method":"ping"}])"
                 "\n");
    deadline.setRemainingTime(5000);
    while (streams.written.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(streams.takeLines(), QByteArrayList{R"({"error":{"code":-32600,"message":"Invalid Request"},"jsonrpc":"2.0"})"});
}

TEST_F(Revisions, AsksASessionClientThatCanBeAskedAndTakesItsAnswerFromInput)
{
    initialize("2025-06-18", {{"elicitation", json::object()}});
    const json call = {{"jsonrpc", "2.0"},
                       {"id", 50},
                       {"method", "tools/call"},
                       {"params", {{"name", "ask_user"}, {"arguments", {{"question", "Delete it?"}}}}}};
    streams.feed(QByteArray::fromStdString(call.dump()) + '\n');
    json question;
    QDeadlineTimer deadline(5000);
    while (question.is_null() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        for (const QByteArray& line : streams.takeLines())
            question = json::parse(line.toStdString());
    }
    ASSERT_EQ(question.value("method", ""), "elicitation/create");
    EXPECT_EQ(question["params"]["message"], "Delete it?");
    EXPECT_EQ(question["params"]["requestedSchema"]["properties"]["confirm"]["type"], "boolean");
    EXPECT_TRUE(components->server().clientQuestions().clientCapabilities().is_object());

    // A ping read meanwhile is answered at once; the answer goes to the question, not the queue.
    const auto pong = exchange({{"jsonrpc", "2.0"}, {"id", 51}, {"method", "ping"}}, 51);
    ASSERT_EQ(pong.size(), 1u);
    EXPECT_EQ(pong[0]["result"], json::object());
    const json answer = {{"jsonrpc", "2.0"}, {"id", question["id"]}, {"result", {{"action", "accept"}, {"content", {{"confirm", true}}}}}};
    const auto lines = exchange(answer, 50);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["id"], 50);
    EXPECT_EQ(lines[0]["result"]["content"][0]["text"], "confirmed");

    // Without the capability, or in a revision without questions, nobody is asked.
    initialize("2025-06-18");
    EXPECT_EQ(request("tools/call", {{"name", "ask_user"}})["result"]["content"][0]["text"], "unavailable");
    initialize("2025-03-26", {{"elicitation", json::object()}});
    EXPECT_EQ(request("tools/call", {{"name", "ask_user"}})["result"]["content"][0]["text"], "unavailable");
}

TEST_F(Revisions, StopsWaitingForAnAnswerAtTheTimeLimit)
{
    components->server().clientQuestions().setTimeLimit(std::chrono::milliseconds(50));
    initialize("2025-11-25", {{"elicitation", {{"form", json::object()}}}});
    const json result = request("tools/call", {{"name", "ask_user"}});
    EXPECT_EQ(result["result"]["content"][0]["text"], "timed out");
    // A late answer is dropped without a reply.
    streams.feed(R"({"jsonrpc":"2.0","id":"zarnel-question-1","result":{"action":"accept"}})"
                 "\n");
    const auto lines = exchange({{"jsonrpc", "2.0"}, {"id", 99}, {"method", "ping"}}, 99);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["result"], json::object());
}

TEST_F(Revisions, AsksAStatelessClientWithAnInputRequiredResultAndTakesTheRetry)
{
    const json elicitation = {{"elicitation", json::object()}};
    const json first = modern("tools/call", {{"name", "ask_user"}, {"arguments", {{"question", "Go?"}}}}, elicitation);
    ASSERT_EQ(first["result"]["resultType"], "input_required") << first.dump();
    const json& asked = first["result"]["inputRequests"]["confirm"];
    EXPECT_EQ(asked["method"], "elicitation/create");
    EXPECT_EQ(asked["params"]["message"], "Go?");
    const json state = first["result"]["requestState"];

    json retry = {{"name", "ask_user"},
                  {"arguments", {{"question", "Go?"}}},
                  {"requestState", state},
                  {"inputResponses", {{"confirm", {{"action", "accept"}, {"content", {{"confirm", true}}}}}}}};
    const json second = modern("tools/call", retry, elicitation);
    EXPECT_EQ(second["result"]["resultType"], "complete");
    EXPECT_EQ(second["result"]["content"][0]["text"], "confirmed");

    // The state belongs to that call: other arguments or a forged state are refused.
    retry["arguments"]["question"] = "Something else?";
    EXPECT_EQ(modern("tools/call", retry, elicitation)["error"]["code"], -32602);
    retry["arguments"]["question"] = "Go?";
    retry["requestState"] = "v1.9999999999.AAAA.AAAA";
    EXPECT_EQ(modern("tools/call", retry, elicitation)["error"]["code"], -32602);
    // A client that declared no elicitation in this request is not asked.
    EXPECT_EQ(modern("tools/call", {{"name", "ask_user"}})["result"]["content"][0]["text"], "unavailable");
}

TEST_F(Revisions, ReportsProgressOfASlowCallOnlyWhileItRuns)
{
    components->server().clientQuestions().setTimeLimit(std::chrono::milliseconds(600));
    initialize("2025-06-18", {{"elicitation", json::object()}});
    const auto lines = exchange({{"jsonrpc", "2.0"},
                                 {"id", "p"},
                                 {"method", "tools/call"},
                                 {"params", {{"name", "ask_user"}, {"_meta", {{"progressToken", "tok"}}}}}},
                                "p");
    std::vector<json> progress;
    for (const json& line : lines) {
        if (line.value("method", "") == "notifications/progress")
            progress.push_back(line["params"]);
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress[0]["progressToken"], "tok");
    EXPECT_EQ(progress[0]["total"], 2);
    EXPECT_TRUE(progress[0].contains("message"));
    EXPECT_EQ(lines.back()["id"], "p");
    EXPECT_EQ(request("ping")["result"], json::object()); // nothing more for the finished call
}

TEST_F(Revisions, ReportsACommandsOutputAsProgressAndNothingForAQuickCall)
{
    initialize("2025-03-26");
    QFile small(dir.path() + QStringLiteral("/small.txt"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write("hi");
    small.close();
    const auto call = [](const std::string& id, const std::string& tool, const json& arguments) {
        return json{{"jsonrpc", "2.0"},
                    {"id", id},
                    {"method", "tools/call"},
                    {"params", {{"name", tool}, {"arguments", arguments}, {"_meta", {{"progressToken", id}}}}}};
    };

    const auto quick = exchange(call("q", "read_file", {{"path", small.fileName().toStdString()}}), "q");
    ASSERT_EQ(quick.size(), 1u); // the answer alone
    EXPECT_EQ(quick[0]["result"]["content"][0]["text"], "hi");

    const auto slow = exchange(call("s", "execute_command", {{"command", "printf abc; sleep 0.7"}}), "s");
    ASSERT_GE(slow.size(), 2u);
    for (std::size_t i = 0; i + 1 < slow.size(); ++i) {
        EXPECT_EQ(slow[i]["method"], "notifications/progress");
        EXPECT_EQ(slow[i]["params"]["progressToken"], "s");
        if (i > 0) {
            EXPECT_GT(slow[i]["params"]["progress"], slow[i - 1]["params"]["progress"]);
        }
    }
    EXPECT_NE(slow[slow.size() - 2]["params"]["message"].get<std::string>().find(", 3 bytes of output so far"), std::string::npos);
    EXPECT_EQ(slow.back()["id"], "s");
    EXPECT_EQ(exchange({{"jsonrpc", "2.0"}, {"id", "after"}, {"method", "ping"}}, "after").size(), 1u);
}

TEST_F(Revisions, CompletesPathsAndListedValues)
{
    QDir(dir.path()).mkdir(QStringLiteral("notes"));
    QFile(dir.path() + QStringLiteral("/note.txt")).open(QIODevice::WriteOnly);
    const std::string prefix = dir.path().toStdString() + "/no";
    initialize("2025-06-18");
    const json paths =
        request("completion/complete",
                {{"ref", {{"type", "ref/prompt"}, {"name", "analyze_file"}}}, {"argument", {{"name", "file_path"}, {"value", prefix}}}});
    EXPECT_EQ(paths["result"]["completion"]["values"], json::array({prefix + "te.txt", prefix + "tes/"}));
    EXPECT_EQ(paths["result"]["completion"]["total"], 2);
    EXPECT_EQ(paths["result"]["completion"]["hasMore"], false);
    const json file = request(
        "completion/complete",
        {{"ref", {{"type", "ref/resource"}, {"uri", "file:///{path}"}}}, {"argument", {{"name", "path"}, {"value", prefix.substr(1)}}}});
    EXPECT_EQ(file["result"]["completion"]["values"].size(), 2u);
    const json levels =
        request("completion/complete",
                {{"ref", {{"type", "ref/prompt"}, {"name", "security_audit"}}}, {"argument", {{"name", "severity"}, {"value", "c"}}}});
    EXPECT_EQ(levels["result"]["completion"]["values"], json::array({"critical"}));
    EXPECT_EQ(request("completion/complete",
                      {{"ref", {{"type", "ref/prompt"}, {"name", "nope"}}}, {"argument", {{"name", "x"}, {"value", ""}}}})["error"]["code"],
              -32602);
    initialize("2024-11-05");
    EXPECT_EQ(request("completion/complete",
                      {{"ref", {{"type", "ref/prompt"}, {"name", "analyze_file"}}},
                       {"argument", {{"name", "file_path"}, {"value", "/"}}}})["error"]["code"],
              -32601);
}

TEST_F(Revisions, AcknowledgesAListenAndSendsItsUpdatesUntilCancelled)
{
    components->server().listenSubscriptions().setInterval(10);
    json params = {{"notifications", {{"toolsListChanged", true}, {"resourceSubscriptions", {"zarnel://activity-log", "nowhere://x"}}}}};
    params["_meta"][kVersionKey] = "2026-07-28";
    params["_meta"][kCapabilitiesKey] = json::object();
    streams.feed(QByteArray::fromStdString(
                     json{{"jsonrpc", "2.0"}, {"id", "listen:1"}, {"method", "subscriptions/listen"}, {"params", params}}.dump())
                 + '\n');
    // The ping writes to the activity log, which the listen follows.
    auto lines = exchange({{"jsonrpc", "2.0"}, {"id", 70}, {"method", "ping"}}, 70);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0]["method"], "notifications/subscriptions/acknowledged");
    EXPECT_EQ(lines[0]["params"]["_meta"]["io.modelcontextprotocol/subscriptionId"], "listen:1");
    EXPECT_EQ(lines[0]["params"]["notifications"]["resourceSubscriptions"], json::array({"zarnel://activity-log"}));
    json update;
    QDeadlineTimer deadline(5000);
    while (update.is_null() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        for (const QByteArray& line : streams.takeLines())
            update = json::parse(line.toStdString());
    }
    EXPECT_EQ(update["method"], "notifications/resources/updated");
    EXPECT_EQ(update["params"]["_meta"]["io.modelcontextprotocol/subscriptionId"], "listen:1");

    streams.feed(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"listen:1"}})"
                 "\n");
    lines = exchange({{"jsonrpc", "2.0"}, {"id", 71}, {"method", "ping"}}, 71);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (const json& line : lines)
        EXPECT_FALSE(line.contains("method")) << line.dump();
}

} // namespace

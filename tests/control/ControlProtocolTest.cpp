#include "control/ControlProtocol.h"

#include <gtest/gtest.h>

#include <QUuid>

using namespace ControlProtocol;

namespace {

TEST(ControlProtocol, RefusesWhatIsNotARequestWithTheReason)
{
    const std::pair<QByteArray, const char*> cases[] = {
        {"", Code::BadRequest},
        {"not json", Code::BadRequest},
        {"[1]", Code::BadRequest},
        {R"({"v":1,"command":"status"})", Code::BadRequest},
        {R"({"v":1,"id":"7","command":"status"})", Code::BadRequest},
        {R"({"id":7,"command":"status"})", Code::BadRequest},
        {R"({"v":2,"id":7,"command":"status"})", Code::Version},
        {R"({"v":1,"id":7,"command":3})", Code::BadRequest},
        {R"({"v":1,"id":7,"command":"status","args":[]})", Code::BadRequest},
        {R"({"v":1,"id":7,"command":"status","token":5})", Code::BadRequest},
    };
    for (const auto& [line, code] : cases) {
        const DecodedRequest decoded = decodeRequest(line);
        EXPECT_FALSE(decoded.request) << line.constData();
        EXPECT_EQ(decoded.error.code, code) << line.constData();
    }
    // Once the id is known it is answered with it.
    EXPECT_EQ(decodeRequest(R"({"v":2,"id":7,"command":"status"})").id, 7);
}

TEST(ControlProtocol, RequestsAnswersAndEventsRoundTrip)
{
    const DecodedRequest decoded = decodeRequest(encodeRequest(Request{42, "server", Json{{"action", "stop"}}, "c0ffee"}).trimmed());
    ASSERT_TRUE(decoded.request);
    EXPECT_EQ(decoded.request->id, 42);
    EXPECT_EQ(decoded.request->command, "server");
    EXPECT_EQ(decoded.request->args["action"], "stop");
    EXPECT_EQ(decoded.request->token, "c0ffee");
    EXPECT_TRUE(decodeRequest(encodeRequest(Request{1, "status", {}, {}}).trimmed()).request->token.isEmpty());
    EXPECT_EQ(decodeRequest(R"({"v":1,"id":1,"command":"log","args":null})").request->args, Json::object());

    const auto answer = decodeIncoming(encodeReply(42, Reply::success(Json{{"count", 3}})).trimmed());
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->isEvent);
    EXPECT_EQ(answer->id, 42);
    EXPECT_TRUE(answer->reply.ok);
    EXPECT_EQ(answer->reply.result["count"], 3);

    const auto failure = decodeIncoming(encodeReply(5, Reply::failure(Code::Failed, "no")).trimmed());
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->reply.ok);
    EXPECT_EQ(failure->reply.code, Code::Failed);
    EXPECT_EQ(failure->reply.message, "no");

    const QByteArray event = encodeEvent("server", Json{{"running", true}});
    EXPECT_TRUE(event.endsWith('\n'));
    EXPECT_EQ(event.count('\n'), 1);
    const auto incoming = decodeIncoming(event.trimmed());
    ASSERT_TRUE(incoming && incoming->isEvent);
    EXPECT_EQ(incoming->event, "server");
    EXPECT_EQ(incoming->data["running"], true);
    EXPECT_FALSE(decodeIncoming(R"({"id":1})"));
}

TEST(ControlProtocol, LogEntriesKeepTheirFields)
{
    const ActivityLogEntry entry{QUuid::createUuid(), QDateTime::fromMSecsSinceEpoch(1796611972123, Qt::UTC),
                                 QStringLiteral("Tool call: read_file \"x\"\n"), LogType::ToolCall};
    const auto decoded = decodeEntry(encodeEntry(entry));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id, entry.id);
    EXPECT_EQ(decoded->timestamp, entry.timestamp);
    EXPECT_EQ(decoded->message, entry.message);
    EXPECT_EQ(decoded->type, LogType::ToolCall);
    Json unknownType = encodeEntry(entry);
    unknownType["type"] = "verbose";
    EXPECT_FALSE(decodeEntry(unknownType));
}

TEST(ControlProtocol, SessionsKeepTheirFieldsAndAnOlderProcesssResetReadsAsNone)
{
    SessionFigures session{7, 3, QDateTime::fromMSecsSinceEpoch(1796611972123, Qt::UTC), {}};
    for (int i = 0; i < 20; ++i)
        session.recentCalls.append(ToolCallRecord{QUuid::createUuid(), QStringLiteral("tool %1").arg(i), session.startTime.addSecs(20 - i),
                                                  0.125 * i, i % 2 == 0});
    Json encoded = encodeSession(session);
    encoded["recentCalls"][1]["success"] = "yes"; // a damaged call is left out, the rest kept
    const SessionFigures decoded = decodeSession(encoded);
    EXPECT_EQ(decoded.requests, 7);
    EXPECT_EQ(decoded.toolCalls, 3);
    EXPECT_EQ(decoded.startTime, session.startTime);
    ASSERT_EQ(decoded.recentCalls.size(), kSessionRecentCalls);
    const ToolCallRecord& last = decoded.recentCalls.last();
    const ToolCallRecord& sent = session.recentCalls.at(kSessionRecentCalls);
    EXPECT_EQ(last.id, sent.id);
    EXPECT_EQ(last.toolName, sent.toolName);
    EXPECT_EQ(last.timestamp, sent.timestamp);
    EXPECT_EQ(last.duration, sent.duration);
    EXPECT_EQ(last.success, sent.success);
    EXPECT_EQ(decoded.recentCalls.at(1).toolName, "tool 2");

    const SessionFigures none = decodeSession(Json::object());
    EXPECT_EQ(none.requests, 0);
    EXPECT_FALSE(none.startTime.isValid());
    EXPECT_TRUE(none.recentCalls.isEmpty());
    EXPECT_EQ(decodeSession(Json{{"requests", "many"}, {"recentCalls", 4}}).requests, 0);
}

} // namespace

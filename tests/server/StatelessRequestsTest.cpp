#include "server/StatelessRequests.h"
#include "server/RequestContext.h"

#include <gtest/gtest.h>

#include <QThread>

namespace {

// A stateless tools/call; `n` makes each call a different one.
JSONRPCRequest commandCall(int n)
{
    JSONRPCRequest request;
    request.id = JSONRPCId(std::int64_t{n});
    request.method = "tools/call";
    request.params =
        Json{{"name", "execute_command"},
             {"arguments", {{"command", "echo " + std::to_string(n)}}},
             {"_meta", {{StatelessRequests::kVersionKey, "2026-07-28"}, {"io.modelcontextprotocol/clientCapabilities", Json::object()}}}};
    return request;
}

JSONRPCRequest retryWithYes(JSONRPCRequest call, const std::string& state)
{
    (*call.params)["requestState"] = state;
    (*call.params)["inputResponses"] = Json{{"confirm", {{"action", "accept"}, {"content", {{"confirm", true}}}}}};
    return call;
}

// Whether the retry's answers reach the call.
bool answersCount(StatelessRequests& stateless, const JSONRPCRequest& retry)
{
    RequestContext context;
    EXPECT_FALSE(stateless.prepare(retry, context));
    return !context.inputResponses.empty();
}

class SpentStates : public ::testing::Test {
protected:
    StatelessRequests stateless;

    // Approves as many other calls as there is room for, and one more.
    void fillWithOtherAnswers()
    {
        for (int n = 1; n <= static_cast<int>(StatelessRequests::kMaxSpentStates) + 1; ++n) {
            const JSONRPCRequest call = commandCall(n);
            answersCount(stateless, retryWithYes(call, stateless.signState(call)));
        }
    }
};

TEST_F(SpentStates, AnApprovalReplayedAfterManyOthersStaysSpent)
{
    const JSONRPCRequest call = commandCall(0);
    const JSONRPCRequest retry = retryWithYes(call, stateless.signState(call));
    ASSERT_TRUE(answersCount(stateless, retry));
    // Given before every other: the first a store of limited room would let go.
    QThread::msleep(5);
    fillWithOtherAnswers();
    EXPECT_FALSE(answersCount(stateless, retry));
}

TEST_F(SpentStates, OnceFullNewQuestionsAreRefusedInsteadOfAsked)
{
    fillWithOtherAnswers();
    const JSONRPCRequest call = commandCall(-1);
    EXPECT_FALSE(answersCount(stateless, retryWithYes(call, stateless.signState(call))));

    RequestContext context;
    ASSERT_FALSE(stateless.prepare(call, context));
    context.inputRequests["confirm"] = Json{{"method", "elicitation/create"}};
    JSONRPCResponse response = JSONRPCResponse::success(call.id, Json::object());
    stateless.finish(response, call, context);
    ASSERT_TRUE(response.error);
    EXPECT_EQ(response.error->message, "Too many questions answered recently: try again later");
    EXPECT_FALSE(response.result);
}

} // namespace

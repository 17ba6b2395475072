#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"

#include <gtest/gtest.h>

namespace {

JSONRPCRequest decode(const std::string& text)
{
    const auto parsed = json::parse(text);
    if (!parsed)
        throw std::runtime_error("not JSON");
    return JSONRPCRequest::fromJson(*parsed);
}

TEST(JSONRPCRequestDecoding, KeepsStringAndIntegerIdsApart)
{
    const auto numeric = decode(R"({"jsonrpc":"2.0","id":7,"method":"tools/list"})");
    ASSERT_TRUE(numeric.id && numeric.id->isNumber());
    EXPECT_EQ(numeric.id->number(), 7);
    EXPECT_FALSE(numeric.params.has_value());

    const auto text = decode(R"({"jsonrpc":"2.0","id":"7","method":"tools/list"})");
    ASSERT_TRUE(text.id && text.id->isString());
    EXPECT_NE(*numeric.id, *text.id);
    EXPECT_EQ(JSONRPCResponse::success(text.id, Json::object()).serialize(), R"({"id":"7","jsonrpc":"2.0","result":{}})");
}

TEST(JSONRPCRequestDecoding, TreatsNullIdAndNullParamsAsAbsent)
{
    const auto request = decode(R"({"jsonrpc":"2.0","id":null,"method":"m","params":null})");
    EXPECT_TRUE(request.isNotification());
    EXPECT_FALSE(request.params.has_value());
    EXPECT_EQ(JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound).serialize(),
              R"({"error":{"code":-32601,"message":"Method not found"},"jsonrpc":"2.0"})");
}

} // namespace

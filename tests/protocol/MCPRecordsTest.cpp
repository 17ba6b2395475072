#include "protocol/DecodingError.h"
#include "protocol/JSONRPCRequest.h"
#include "protocol/JsonWriter.h"
#include "protocol/MCPContent.h"
#include "protocol/MCPTool.h"

#include <gtest/gtest.h>

namespace {

TEST(MCPToolRecords, WriteResultsWithoutAbsentMembers)
{
    const MCPToolCallResponse ok{{MCPContent::text("a"), MCPContent::text("b")}, std::nullopt};
    EXPECT_EQ(JsonWriter::compact(ok.toJson()), R"({"content":[{"text":"a","type":"text"},{"text":"b","type":"text"}]})");
    EXPECT_EQ(JsonWriter::compact(SchemaProperty{"string", std::nullopt, std::nullopt, std::nullopt}.toJson()), R"({"type":"string"})");
}

TEST(JSONRPCRequestRecord, ReadsTheSameWhetherTheValueIsCopiedOrTakenOver)
{
    // Taking the params over must not change what is read or which requests are refused.
    const std::vector<std::string> rows = {
        R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"write_file","arguments":{"content":"x"}}})",
        R"({"jsonrpc":"2.0","id":"a","method":"ping","params":null})",
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
    };
    for (const std::string& row : rows) {
        const Json value = Json::parse(row);
        const JSONRPCRequest copied = JSONRPCRequest::fromJson(value);
        const JSONRPCRequest taken = JSONRPCRequest::fromJson(Json(value));
        EXPECT_EQ(JsonWriter::compact(taken.toJson()), JsonWriter::compact(copied.toJson())) << row;
        EXPECT_EQ(taken.params.has_value(), copied.params.has_value()) << row;
    }
    for (const char* refused : {R"({"jsonrpc":"2.0","id":1,"params":{}})", R"({"jsonrpc":"2.0","id":1.5,"method":"m"})", "[]"})
        EXPECT_THROW(JSONRPCRequest::fromJson(Json::parse(refused)), DecodingError) << refused;
}

} // namespace

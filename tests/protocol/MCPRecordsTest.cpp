#include "protocol/DecodingError.h"
#include "protocol/JsonWriter.h"
#include "protocol/MCPContent.h"
#include "protocol/MCPInitialize.h"
#include "protocol/MCPPrompt.h"
#include "protocol/MCPTool.h"

#include <gtest/gtest.h>

namespace {

template <typename Decode>
std::string failureOf(Decode decode)
{
    try {
        decode();
    } catch (const DecodingError& error) {
        return error.description();
    }
    return "decoded";
}

TEST(MCPToolRecords, WriteResultsWithoutAbsentMembers)
{
    const MCPToolCallResponse ok{{MCPContent::text("a"), MCPContent::text("b")}, std::nullopt};
    EXPECT_EQ(JsonWriter::compact(ok.toJson()), R"({"content":[{"text":"a","type":"text"},{"text":"b","type":"text"}]})");
    EXPECT_EQ(JsonWriter::compact(SchemaProperty{"string", std::nullopt, std::nullopt, std::nullopt}.toJson()), R"({"type":"string"})");
}

TEST(MCPToolRecords, RequireArgumentsToBeAnObjectUnlikePrompts)
{
    EXPECT_EQ(failureOf([] { MCPToolCallRequest::fromJson(Json::parse(R"({"name":"read_file","arguments":["x"]})")); }),
              "Expected an object but found an array at \"arguments\"");
    EXPECT_FALSE(MCPToolCallRequest::fromJson(Json::parse(R"({"name":"t","arguments":null})")).arguments.has_value());
    EXPECT_FALSE(MCPPromptGetRequest::fromJson(Json::parse(R"({"name":"p","arguments":["x"]})")).arguments.has_value());
}

TEST(MCPInitializeRecords, RequireAWholeClientInfoAndReadCapabilitiesLeniently)
{
    EXPECT_EQ(failureOf([] { MCPInitializeRequest::fromJson(Json::parse(R"({"protocolVersion":"1","capabilities":{},"clientInfo":{"name":"c"}})")); }),
              "Missing required key \"version\" at \"clientInfo\"");
    const auto request = MCPInitializeRequest::fromJson(
        Json::parse(R"({"protocolVersion":"1","capabilities":{"sampling":7,"roots":{"listChanged":true}},"clientInfo":{"name":"c","version":"2"}})"));
    EXPECT_TRUE(request.capabilities.sampling);
    EXPECT_EQ(request.clientInfo.version, "2");
}

} // namespace

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

} // namespace

#include "protocol/JsonWriter.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonWriterCompact, SortsKeysAtEveryLevelAndEscapesSlashes)
{
    const Json value = Json::parse(R"({"z":{"b":1,"a":[{"y":"a/b","x":null}]},"a":true})");
    EXPECT_EQ(JsonWriter::compact(value), R"({"a":true,"z":{"a":[{"x":null,"y":"a\/b"}],"b":1}})");
}

TEST(JsonWriterCompact, WritesRawUtf8AndEscapesControlCharacters)
{
    EXPECT_EQ(JsonWriter::compact(Json("h\xC3\xA9llo \xE2\x9C\x93\n\t\"\\\x01")), "\"h\xC3\xA9llo \xE2\x9C\x93\\n\\t\\\"\\\\\\u0001\"");
}

TEST(JsonWriterCompact, ReplacesEveryInvalidUtf8ByteInsteadOfFailing)
{
    // A lone continuation byte, a truncated sequence, an overlong form and a surrogate.
    const std::string broken = std::string("a\x80") + "b\xE2\x9C" + "c\xC0\xAF" + "d\xED\xA0\x80";
    EXPECT_EQ(JsonWriter::compact(Json(broken)),
              "\"a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD"
              "c\xEF\xBF\xBD\xEF\xBF\xBD"
              "d\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JsonWriterCompact, WritesNumbersByKind)
{
    EXPECT_EQ(JsonWriter::compact(Json::array({1, -9223372036854775807LL - 1, 2.5, 1.0, 0.1, 1e300})),
              "[1,-9223372036854775808,2.5,1.0,0.1,1e+300]");
    EXPECT_EQ(JsonWriter::compact(Json(std::numeric_limits<double>::quiet_NaN())), "null");
}

TEST(JsonWriterPretty, IndentsTwoSpacesWithSpacedColons)
{
    const Json value = Json::parse(R"([{"type":"info","message":"a/b","timestamp":"t"}])");
    EXPECT_EQ(JsonWriter::pretty(value),
              "[\n  {\n    \"message\" : \"a\\/b\",\n    \"timestamp\" : \"t\",\n    \"type\" : \"info\"\n  }\n]");
    EXPECT_EQ(JsonWriter::pretty(Json::array()), "[]");
    EXPECT_EQ(JsonWriter::pretty(Json::object()), "{}");
}

} // namespace

#include "protocol/JsonWriter.h"

#include <gtest/gtest.h>

#include <random>

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

TEST(JsonWriterCompact, EscapesAtEveryPositionOfALongPlainRun)
{
    // Plain text is scanned many bytes at a time: every special byte, valid sequence and
    // invalid byte is placed at each offset of a run longer than one scan.
    const std::vector<std::pair<std::string, std::string>> specials = {{"\"", "\\\""},
                                                                       {"\\", "\\\\"},
                                                                       {"/", "\\/"},
                                                                       {"\n", "\\n"},
                                                                       {"\x1f", "\\u001f"},
                                                                       {"\x7f", "\x7f"},
                                                                       {"\xC3\xA9", "\xC3\xA9"},
                                                                       {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
                                                                       {"\xFF", "\xEF\xBF\xBD"}};
    for (const auto& [raw, written] : specials) {
        for (std::size_t at = 0; at < 40; ++at) {
            const std::string before(at, 'a');
            const std::string after(40 - at, 'b');
            std::string out;
            JsonWriter::appendString(out, before + raw + after);
            EXPECT_EQ(out, "\"" + before + written + after + "\"") << "at " << at;
        }
    }
}

TEST(JsonWriterCompact, HandsTheSameBytesToADrainInBoundedPieces)
{
    // Long plain stretches (cut into pieces) alternate with escapes, multi-byte sequences and
    // invalid bytes, so that cuts fall next to and between all of them.
    const std::vector<std::string> specials = {"\"",   "\\",      "/", "\n", "\x01", "\xC3\xA9", "\xE2\x9C\x93", "\xF0\x9F\x98\x80",
                                               "\xFF", "\xE2\x9C"};
    std::mt19937 random(7);
    std::string text;
    while (text.size() < 5 * JsonWriter::kDrainBytes) {
        const std::size_t plain = random() % 4 == 0 ? random() % 16 : JsonWriter::kDrainBytes - 8 + random() % 16;
        text.append(plain, static_cast<char>('a' + random() % 26));
        text += specials[random() % specials.size()];
    }
    const Json value = {{"content", Json::array({{{"text", text}, {"type", "text"}}, {{"text", "short"}}})}, {"isError", false}};

    std::string drained;
    std::size_t pieces = 0;
    std::string out;
    JsonWriter::appendCompact(out, value, [&](std::string& piece) {
        EXPECT_GE(piece.size(), JsonWriter::kDrainBytes);
        EXPECT_LE(piece.size(), 2 * JsonWriter::kDrainBytes + 16);
        drained += piece;
        piece.clear();
        ++pieces;
    });
    EXPECT_GE(pieces, 5u);
    EXPECT_LT(out.size(), 2 * JsonWriter::kDrainBytes);
    EXPECT_TRUE(drained + out == JsonWriter::compact(value));
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

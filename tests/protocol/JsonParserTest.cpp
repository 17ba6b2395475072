#include "protocol/JsonParser.h"
#include "protocol/JsonWriter.h"

#include <gtest/gtest.h>

namespace {

// nlohmann's own strict parser, with the protocol's number rule applied afterwards: the
// reference our reader must agree with on every document.
std::optional<Json> reference(const std::string& text)
{
    try {
        Json value = Json::parse(text);
        json::normalizeNumbers(value);
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

TEST(JsonParser, AgreesWithTheReferenceParserOnValidAndInvalidDocuments)
{
    const std::vector<std::string> documents = {
        R"({"jsonrpc":"2.0","id":7,"method":"tools/list"})",
        R"(  {"a" : [1, -0, 2.5, -1.5e3, 1E-2, 0.1, true, false, null, {}, []]}  )",
        R"("esc \" \\ \/ \b \f \n \r \t \u00e9 \ud83d\ude00")",
        "\"raw \xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80\"",
        R"({"dup":1,"dup":2})",
        "9223372036854775807",
        "-9223372036854775808",
        "9223372036854775808",
        "18446744073709551616",
        "1.0",
        "2e0",
        "1e400",
        "-1e400",
        "1e-400",
        "123456789012345678901234567890",
        // Beyond a double's range either way, whatever the exponent's sign says on its own.
        "1" + std::string(500, '0') + "e-100",
        "-1" + std::string(500, '0') + "e-100",
        "0." + std::string(500, '0') + "1e+100",
        "0." + std::string(500, '0') + "1e100",
        "1e99999999999999999999999",
        "1e-99999999999999999999999",
        std::string(400, '9'),
        "0." + std::string(400, '0') + "1",
        "4e-320",
        "-2.5e-310",
        // Invalid ones.
        "",
        " ",
        "{",
        "}",
        "[1,]",
        "{\"a\":1,}",
        "{a:1}",
        "'x'",
        "01",
        "-",
        "1.",
        ".5",
        "1e",
        "+1",
        "0x10",
        "tru",
        "nul",
        "[1 2]",
        "{\"a\" 1}",
        "\"\\x\"",
        "\"\\u12\"",
        "\"\\ud800\"",
        "\"\\udc00\"",
        "\"\\ud800\\u0041\"",
        "\"a\nb\"",
        "\"\x01\"",
        "\"\xFF\"",
        "\"\xC0\xAF\"",
        "\"\xED\xA0\x80\"",
        "\"\xF4\x90\x80\x80\"",
        "\"\xE2\x9C\"",
        "1 2",
        "[] []",
        "{\"a\":1}x",
        "\"unterminated",
        "[\"a\\",
    };
    for (const auto& text : documents) {
        const auto ours = JsonParser::parse(text);
        const auto theirs = reference(text);
        ASSERT_EQ(ours.has_value(), theirs.has_value()) << text;
        if (ours) {
            EXPECT_EQ(JsonWriter::compact(*ours), JsonWriter::compact(*theirs)) << text;
        }
    }
}

TEST(JsonParser, KeepsTheNumberKindsOfTheProtocol)
{
    const auto value = JsonParser::parse(R"([3, 3.5, 2.0, 1e3, 9223372036854775808, -0.0, 1e-400])");
    ASSERT_TRUE(value);
    EXPECT_TRUE((*value)[0].is_number_integer());
    EXPECT_TRUE((*value)[1].is_number_float());
    EXPECT_EQ((*value)[2], 2);
    EXPECT_TRUE((*value)[2].is_number_integer());
    EXPECT_EQ((*value)[3], 1000);
    EXPECT_TRUE((*value)[4].is_number_float());
    EXPECT_TRUE((*value)[5].is_number_integer());
    EXPECT_TRUE((*value)[6].is_number_integer());
}

TEST(JsonParser, RefusesNestingBeyondTheLimitAndSaysWhere)
{
    std::string error;
    const std::string deep = std::string(JsonParser::kMaxDepth + 1, '[') + std::string(JsonParser::kMaxDepth + 1, ']');
    EXPECT_FALSE(JsonParser::parse(deep, &error));
    EXPECT_EQ(error, "nesting deeper than 512 levels at offset 512");
    const std::string deepest = std::string(JsonParser::kMaxDepth, '[') + std::string(JsonParser::kMaxDepth, ']');
    EXPECT_TRUE(JsonParser::parse(deepest));
    EXPECT_FALSE(JsonParser::parse("{\"a\":tru}", &error));
}

} // namespace

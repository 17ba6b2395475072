#include "catalog/TemplateRenderer.h"

#include <gtest/gtest.h>

namespace {

std::string render(const std::string& text, const char* values)
{
    return TemplateRenderer::render(text, Json::parse(values).get<Json::object_t>()).value_or("<too large>");
}

// The prompt tests cover blocks and placeholders in real templates; these are the corners.
TEST(TemplateRendererPlaceholders, ReplaceLiterallyAndWriteEveryKindOfValue)
{
    EXPECT_EQ(render("{{a}} and {{a}}, {{b}}, {{ a }}, {{A}}", R"({"a":"x.*"})"), "x.* and x.*, {{b}}, {{ a }}, {{A}}");
    EXPECT_EQ(
        render("{{i}} {{d}} {{w}} {{t}} {{f}} {{n}} {{l}}", R"({"i":42,"d":2.5,"w":1e300,"t":true,"f":false,"n":null,"l":[1,{"k":"v"}]})"),
        "42 2.5 1e+300 true false null [1,{\"k\":\"v\"}]");
    EXPECT_EQ(TemplateRenderer::textOf(Json(1.0)), "1.0");
}

TEST(TemplateRendererBlocks, TreatEmptyAndNilAsFalseButFalseAndZeroAsTrue)
{
    const std::string text = "{{#if v}}shown {{v}}{{/if}}|{{v}}";
    EXPECT_EQ(render(text, R"({"v":"nil"})"), "|nil");
    EXPECT_EQ(render(text, R"({"v":false})"), "shown false|false");
    EXPECT_EQ(render(text, R"({"v":0})"), "shown 0|0");
    EXPECT_EQ(render("{{#if  v\t}}trimmed{{/if}}", R"({"v":"1"})"), "trimmed");
}

TEST(TemplateRendererBlocks, DoNotNestAndSkipMalformedMarkers)
{
    // The inner "{{/if}}" closes the outer block; the rest stays as written.
    EXPECT_EQ(render("{{#if a}}A{{#if b}}B{{/if}}C{{/if}}", R"({"a":"1"})"), "A{{#if b}}BC{{/if}}");
    EXPECT_EQ(render("{{#if a}}A{{#if b}}B{{/if}}C{{/if}}", R"({})"), "C{{/if}}");
    EXPECT_EQ(render("{{#if }}x{{/if}} {{#if a} }y{{/if}} {{#if a}}z{{/if}}", R"({"a":"1"})"), "{{#if }}x{{/if}} {{#if a} }y{{/if}} z");
    EXPECT_EQ(render("{{#if a}}never closed", R"({"a":"1"})"), "{{#if a}}never closed");
}

TEST(TemplateRendererBlocks, IncludeMarkersThatArrivedWithInsertedText)
{
    EXPECT_EQ(render("start {{file_content}} end", R"({"file_content":"{{#if gone}}secret{{/if}}kept","x":"1"})"), "start kept end");
    EXPECT_EQ(render("{{#if a}}A{{/if}}", R"({"a":"{{/if}}"})"), "A");
}

TEST(TemplateRendererBlocks, RenderAdversarialTextsOfManyMebibytes)
{
    // Ten MiB of unterminated markers, and ten MiB of tiny blocks: both finish in one pass.
    std::string markers;
    while (markers.size() < 10u << 20)
        markers += "{{#if";
    EXPECT_EQ(render(markers, R"({})"), markers);

    std::string blocks;
    while (blocks.size() < 10u << 20)
        blocks += "{{#if a}}x{{/if}}";
    EXPECT_EQ(render(blocks, R"({"a":"1"})").size(), blocks.size() / 17);
}

TEST(TemplateRendererLimits, GiveNothingWhenValuesInsertingEachOthersPlaceholdersWouldGrowTheTextPastTheLimit)
{
    // a inserts a thousand b placeholders, b a thousand c ones, c a thousand d ones: a
    // gigabyte of d, refused before it is built.
    const auto thousand = [](const char* placeholder) {
        std::string text;
        for (int i = 0; i < 1000; ++i)
            text += placeholder;
        return text;
    };
    Json::object_t values = {{"a", thousand("{{b}}")}, {"b", thousand("{{c}}")}, {"c", thousand("{{d}}")}, {"d", "x"}};
    EXPECT_EQ(TemplateRenderer::render("{{a}}", values), std::nullopt);

    // A million copies stay well inside it.
    values["c"] = "x";
    EXPECT_EQ(TemplateRenderer::render("{{a}}", values), std::string(1000000, 'x'));
}

} // namespace

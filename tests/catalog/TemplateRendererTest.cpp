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

TEST(TemplateRendererBlocks, TreatFalseZeroNullEmptyAndNilAsAbsent)
{
    const std::string text = "{{#if v}}shown {{v}}{{/if}}|{{v}}";
    for (const char* absent : {R"("nil")", "false", R"("false")", "0", "0.0", R"("0")", "null", R"("null")", R"("")"})
        EXPECT_EQ(render(text, (std::string(R"({"v":)") + absent + "}").c_str()), "|" + TemplateRenderer::textOf(Json::parse(absent)))
            << absent;
    EXPECT_EQ(render(text, R"({"v":true})"), "shown true|true");
    EXPECT_EQ(render(text, R"({"v":-1})"), "shown -1|-1");
    EXPECT_EQ(render(text, R"({"v":"no"})"), "shown no|no");
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

TEST(TemplateRendererBlocks, NeverScanTextTheyInserted)
{
    EXPECT_EQ(render("start {{file_content}} end", R"({"file_content":"{{#if gone}}secret{{/if}}kept {{x}}","x":"1"})"),
              "start {{#if gone}}secret{{/if}}kept {{x}} end");
    EXPECT_EQ(render("{{#if a}}A{{a}}{{/if}}B", R"({"a":"{{/if}}"})"), "A{{/if}}B");
    EXPECT_EQ(render("{{a}}{{b}}", R"({"a":"{{","b":"b}}"})"), "{{b}}");
    // A placeholder's name holds no "{{".
    EXPECT_EQ(render("{{{x}}} {{{{x}}", R"({"x":"X","{x":"wrong"})"), "{X} {{X");
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

TEST(TemplateRendererLimits, GiveNothingWhenTheTextWouldGrowPastTheLimit)
{
    // A mebibyte value inserted three hundred times: 300 MiB, refused.
    std::string manyPlaceholders;
    for (int i = 0; i < 300; ++i)
        manyPlaceholders += "{{a}}";
    Json::object_t values = {{"a", std::string(1 << 20, 'x')}};
    EXPECT_EQ(TemplateRenderer::render(manyPlaceholders, values), std::nullopt);
    // Two hundred stay inside it.
    EXPECT_EQ(TemplateRenderer::render(manyPlaceholders.substr(0, 200 * 5), values)->size(), 200u << 20);
}

TEST(TemplateRendererPlaceholders, RenderAdversarialTextsInOnePass)
{
    // Ten MiB of openings before one closing, and of unmatched names.
    std::string openings(10u << 20, '{');
    openings += "x}}";
    EXPECT_EQ(render(openings, R"({"x":"X"})"), std::string((10u << 20) - 2, '{') + "X");
    std::string unknown;
    while (unknown.size() < 10u << 20)
        unknown += "{{nope}}";
    EXPECT_EQ(render(unknown, R"({"yes":"1"})"), unknown);
}

} // namespace

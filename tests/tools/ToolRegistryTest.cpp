#include "support/EchoTool.h"
#include "tools/ToolRegistry.h"

#include <gtest/gtest.h>

namespace {

TEST(ToolRegistry, ListsToolsSortedByNameWithTheStandardSchema)
{
    ToolRegistry registry;
    registry.registerTool(std::make_shared<EchoTool>("zeta"));
    registry.registerTool(std::make_shared<EchoTool>("alpha"));
    registry.registerTool(std::make_shared<EchoTool>("Beta"));
    const auto tools = registry.listTools();
    ASSERT_EQ(tools.size(), 3u);
    // Byte order: capitals first.
    EXPECT_EQ((std::vector<std::string>{tools[0].name, tools[1].name, tools[2].name}), (std::vector<std::string>{"Beta", "alpha", "zeta"}));
    EXPECT_EQ(tools[0].toJson()["inputSchema"],
              Json::parse(R"({"type":"object","properties":{"text":{"type":"string","description":"what to say"}},"required":["text"],"additionalProperties":false})"));
}

TEST(ToolArguments, NeverConvertBetweenKinds)
{
    const Arguments arguments = Json::parse(R"({"flag":"true","count":2.5,"max_results":"7","n":3,"on":false})").get<Arguments>();
    EXPECT_TRUE(BaseTool::getBoolArgument(arguments, "flag", true));
    EXPECT_FALSE(BaseTool::getBoolArgument(arguments, "on", true));
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "count", 100), 100);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "max_results", 100), 100);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "n", 100), 3);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "missing", std::nullopt), std::nullopt);
    EXPECT_FALSE(BaseTool::getStringArgument(arguments, "n", false).hasValue());
}

} // namespace

#include "tools/ToolRegistry.h"
#include "platform/QSettingsPreferencesStore.h"
#include "platform/SystemServices.h"
#include "state/SettingsManager.h"
#include "support/EchoTool.h"
#include "tools/BuiltInTools.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <stdexcept>

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
    EXPECT_EQ(
        tools[0].toJson()["inputSchema"],
        Json::parse(
            R"({"type":"object","properties":{"text":{"type":"string","description":"what to say"}},"required":["text"],"additionalProperties":false})"));
}

TEST(ToolArguments, ConvertOnlyDecimalIntegersInStrings)
{
    const Arguments arguments = Json::parse(R"({"flag":"true","count":2.5,"max_results":"7","n":3,"on":false,"negative":"-4",
        "spaced":" 7","hex":"0x10","exponent":"1e3","plus":"+7","huge":"99999999999999999999","minus":"-","empty":""})")
                                    .get<Arguments>();
    EXPECT_TRUE(BaseTool::getBoolArgument(arguments, "flag", true));
    EXPECT_FALSE(BaseTool::getBoolArgument(arguments, "on", true));
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "count", 100), 100);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "max_results", 100), 7);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "negative", 100), -4);
    for (const char* invalid : {"spaced", "hex", "exponent", "plus", "huge", "minus", "empty"})
        EXPECT_EQ(BaseTool::getIntArgument(arguments, invalid, 100), 100) << invalid;
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "n", 100), 3);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "missing", std::nullopt), std::nullopt);
    EXPECT_FALSE(BaseTool::getStringArgument(arguments, "n", false).hasValue());
}

} // namespace

TEST(BuiltInTools, AreTheEighteenOverACompleteEnvironmentAndRefuseAnIncompleteOne)
{
    QTemporaryDir dir;
    QSettingsPreferencesStore store(dir.filePath(QStringLiteral("zarnel.conf")));
    SettingsManager settings(store);
    ToolEnvironment environment{&settings, SystemServices::forThisSession()};
    ToolRegistry registry;
    BuiltInTools::registerAll(registry, environment);
    EXPECT_EQ(registry.count(), 18u);
    EXPECT_TRUE(registry.tool("launch_app"));

    // A forgotten fake fails where the environment is handed over, naming what is missing,
    // rather than falling back to the real system.
    environment.services.clipboard.reset();
    environment.services.workspace.reset();
    try {
        BuiltInTools::create(environment);
        ADD_FAILURE() << "an incomplete environment was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("missing: clipboard, workspace"), std::string::npos) << error.what();
    }
    environment = ToolEnvironment{nullptr, SystemServices::forThisSession()};
    EXPECT_THROW(BuiltInTools::create(environment), std::invalid_argument);
}

#include "tools/ToolRegistry.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/SettingsManager.h"
#include "support/EchoTool.h"
#include "tools/BuiltInTools.h"
#include "tools/ToolAnnotations.h"

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

TEST(ToolArguments, TakeIntegersAsWholeNumbersOrDecimalDigitsAndBooleansAsTheirWords)
{
    const Arguments arguments = Json::parse(R"({"flag":"false","yes":"true","word":"yes","count":2.5,"whole":5.0,"max_results":"7","n":3,
        "on":false,"negative":"-4","spaced":" 7","hex":"0x10","exponent":"1e3","plus":"+7","huge":"99999999999999999999",
        "beyond":1e19,"minus":"-","empty":"","truth":true})")
                                    .get<Arguments>();
    EXPECT_FALSE(BaseTool::getBoolArgument(arguments, "flag", true));
    EXPECT_TRUE(BaseTool::getBoolArgument(arguments, "yes", false));
    EXPECT_TRUE(BaseTool::getBoolArgument(arguments, "word", true));
    EXPECT_FALSE(BaseTool::getBoolArgument(arguments, "word", false));
    EXPECT_FALSE(BaseTool::getBoolArgument(arguments, "on", true));
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "whole", 100), 5);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "max_results", 100), 7);
    EXPECT_EQ(BaseTool::getIntArgument(arguments, "negative", 100), -4);
    for (const char* invalid : {"count", "spaced", "hex", "exponent", "plus", "huge", "beyond", "minus", "empty", "truth"})
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
    ToolEnvironment environment{&settings, SystemServices::forThisSession(), nullptr};
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
    environment = ToolEnvironment{nullptr, SystemServices::forThisSession(), nullptr};
    EXPECT_THROW(BuiltInTools::create(environment), std::invalid_argument);
}

// Every "description" text in a descriptor, one per line.
std::string descriptionsIn(const Json& value)
{
    std::string text;
    if (value.is_object()) {
        for (const auto& [key, member] : value.items())
            text += key == "description" && member.is_string() ? member.get<std::string>() + '\n' : descriptionsIn(member);
    } else if (value.is_array()) {
        for (const Json& member : value)
            text += descriptionsIn(member);
    }
    return text;
}

// What an assistant reads of a tool (its description, title and parameter texts) names this
// system's ways; the script tool keeps its name and parameters but says it cannot run anything.
TEST(BuiltInTools, DescribeThisSystemsWaysToAnAssistant)
{
    QTemporaryDir dir;
    QSettingsPreferencesStore store(dir.filePath(QStringLiteral("zarnel.conf")));
    SettingsManager settings(store);
    for (const auto& tool : BuiltInTools::create(ToolEnvironment{&settings, SystemServices::forThisSession(), nullptr})) {
        const MCPTool definition = tool->definition();
        const Json schema = definition.toJson();
        // The texts only: keys such as "bundleId" stay for the callers that read them.
        QString text = QString::fromStdString(descriptionsIn(schema));
        if (const ToolAnnotations* annotations = ToolAnnotations::find(definition.name))
            text += QString::fromUtf8(annotations->title.data(), static_cast<qsizetype>(annotations->title.size()));
        for (const char* foreign : {"bundle", "macos", "mac os", "finder", "dock"})
            EXPECT_FALSE(text.toLower().contains(QLatin1String(foreign)))
                << definition.name << " says " << foreign << ": " << text.toStdString();
        if (definition.name == "execute_applescript") {
            EXPECT_TRUE(definition.description.starts_with("Not available on this system")) << definition.description;
            EXPECT_NE(definition.description.find("execute_command"), std::string::npos);
            EXPECT_NE(definition.description.find("launch_app"), std::string::npos);
            EXPECT_EQ(schema["inputSchema"]["required"], Json::array({"script"}));
            EXPECT_EQ(schema["inputSchema"]["properties"]["language"]["enum"], Json::array({"applescript", "javascript"}));
        }
    }
}

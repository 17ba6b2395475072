#include "ui/models/FeatureCardModel.h"
#include "ui/models/FeatureFilterModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

MCPTool tool(const std::string& name, const std::string& description)
{
    MCPTool descriptor{name, description, {}};
    descriptor.inputSchema.properties = std::map<std::string, SchemaProperty>{
        {"path", SchemaProperty{"string", "File path", std::nullopt, std::nullopt}},
        {"encoding", SchemaProperty{"string", std::nullopt, std::nullopt, std::nullopt}},
    };
    descriptor.inputSchema.required = std::vector<std::string>{"path"};
    return descriptor;
}

QStringList names(const QAbstractItemModel& model)
{
    QStringList result;
    for (int i = 0; i < model.rowCount(); ++i)
        result << model.index(i, 0).data().toString();
    return result;
}

class FeatureCardModelTest : public ::testing::Test {
protected:
    FeatureCardModel cards;
    FeatureFilterModel filter;
    QAbstractItemModelTester cardsTester{&cards, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QAbstractItemModelTester filterTester{&filter, QAbstractItemModelTester::FailureReportingMode::Fatal};
    void SetUp() override { filter.setSourceModel(&cards); }
};

TEST_F(FeatureCardModelTest, PutsToolsInCategoriesByTheirNames)
{
    cards.setCards(FeatureCards::fromTools({tool("read_file", "Read a file"), tool("list_directory", "List"),
                                            tool("execute_command", "Run a shell command"), tool("get_clipboard", "Clipboard"),
                                            tool("launch_app", "Launch an application"), tool("execute_applescript", "Script"),
                                            tool("capture_screenshot", "Capture the screen")}));
    filter.setCategory("File System");
    EXPECT_EQ(names(filter), (QStringList{"read_file", "list_directory"}));
    filter.setCategory("System");
    EXPECT_EQ(names(filter), (QStringList{"execute_command", "get_clipboard", "capture_screenshot"}));
    filter.setCategory("App Control");
    EXPECT_EQ(names(filter), (QStringList{"launch_app", "execute_applescript"}));
    filter.setCategory(FeatureCards::kAllCategories);
    EXPECT_EQ(filter.rowCount(), 7);
}

TEST_F(FeatureCardModelTest, SearchMatchesNameOrDescriptionInAnyCaseWithinTheCategory)
{
    cards.setCards(FeatureCards::fromTools(
        {tool("read_file", "Read a file"), tool("execute_command", "Run a shell COMMAND"), tool("get_clipboard", "Read the clipboard")}));
    filter.setSearchText("READ");
    EXPECT_EQ(names(filter), (QStringList{"read_file", "get_clipboard"}));
    filter.setCategory("System");
    EXPECT_EQ(names(filter), (QStringList{"get_clipboard"}));
    filter.setSearchText("shell");
    EXPECT_EQ(names(filter), (QStringList{"execute_command"}));
    filter.setSearchText("nothing like it");
    EXPECT_EQ(filter.rowCount(), 0);
}

TEST_F(FeatureCardModelTest, ToolCardListsParametersWithTypesAndRequiredTags)
{
    const QList<FeatureCard> list = FeatureCards::fromTools({tool("read_file", "Read a file")});
    const FeatureCard& card = list.at(0);
    EXPECT_EQ(card.detailsHeading, "Parameters:");
    ASSERT_EQ(card.details.size(), 2);
    EXPECT_EQ(card.details.at(1).name, "path");
    EXPECT_EQ(card.details.at(1).type, "string");
    EXPECT_EQ(card.details.at(1).description, "File path");
    EXPECT_TRUE(card.details.at(1).required);
    EXPECT_FALSE(card.details.at(0).required);
}

TEST_F(FeatureCardModelTest, ResourceCardsShowTheComputerOnlyForSystemUris)
{
    const QList<FeatureCard> list = FeatureCards::fromResources({
        MCPResource{"system://info", "System Information", "Current system information", "application/json"},
        MCPResource{"zarnel://activity-log", "Activity Log", "Real-time activity log", "text/plain"},
        MCPResource{"file://system://odd", "Odd", std::nullopt, std::nullopt},
    });
    EXPECT_EQ(list.at(0).symbol, "desktopcomputer");
    EXPECT_EQ(list.at(1).symbol, "server.rack");
    EXPECT_EQ(list.at(2).symbol, "server.rack");
    EXPECT_EQ(list.at(1).facts, (QStringList{"URI: zarnel://activity-log", "Type: text/plain", "Access via: resources/read"}));
    EXPECT_TRUE(list.at(0).categories.isEmpty());
}

TEST_F(FeatureCardModelTest, PromptCardsHaveCategoriesAndArguments)
{
    const QList<FeatureCard> list = FeatureCards::fromPrompts({
        MCPPrompt{"analyze_file", "Analyze a file",
                  std::vector<PromptArgument>{{"file_path", "Path", true}, {"analysis_type", "Kind", false}}},
        MCPPrompt{"optimize_system", "Optimise", std::vector<PromptArgument>{}},
        MCPPrompt{"remote_access_security", "SSH", std::nullopt},
        MCPPrompt{"security_audit", "Audit", std::nullopt},
    });
    EXPECT_EQ(list.at(0).categories, QStringList{"Analysis"});
    EXPECT_EQ(list.at(0).detailsHeading, "Arguments:");
    EXPECT_TRUE(list.at(0).details.at(0).required);
    EXPECT_FALSE(list.at(0).details.at(1).required);
    EXPECT_EQ(list.at(0).facts, QStringList{"Access via: prompts/get"});
    EXPECT_EQ(list.at(1).categories, QStringList{"System"});
    EXPECT_EQ(list.at(1).facts, (QStringList{"No arguments required", "Access via: prompts/get"}));
    EXPECT_EQ(list.at(2).categories, QStringList{"Security"});
    EXPECT_EQ(list.at(3).categories, QStringList{"Security"});
}

TEST_F(FeatureCardModelTest, RemembersEachCardsExpandedFlagUntilTheCardsChange)
{
    cards.setCards(FeatureCards::fromTools({tool("read_file", "Read"), tool("write_file", "Write")}));
    QSignalSpy changed(&cards, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(cards.setData(cards.index(1), true, FeatureCardModel::ExpandedRole));
    EXPECT_TRUE(cards.index(1).data(FeatureCardModel::ExpandedRole).toBool());
    EXPECT_FALSE(cards.index(0).data(FeatureCardModel::ExpandedRole).toBool());
    EXPECT_EQ(changed.count(), 1);
    cards.setCards(FeatureCards::fromTools({tool("read_file", "Read"), tool("write_file", "Write")}));
    EXPECT_FALSE(cards.index(1).data(FeatureCardModel::ExpandedRole).toBool());
}

} // namespace

#include "ui/dashboard/FunctionsPage.h"
#include "ui/dashboard/FeatureCardWidget.h"
#include "ui/models/FeatureFilterModel.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

QList<FeatureCard> tools()
{
    MCPTool read{"read_file", "Read the contents of a file", {}};
    read.inputSchema.properties = std::map<std::string, SchemaProperty>{{"path", SchemaProperty{"string", "Absolute path", {}, {}}}};
    read.inputSchema.required = std::vector<std::string>{"path"};
    return FeatureCards::fromTools(
        {read, MCPTool{"execute_command", "Execute a shell command", {}}, MCPTool{"launch_app", "Launch an application", {}}});
}

FunctionsPage* makePage()
{
    return new FunctionsPage(
        tools(),
        FeatureCards::fromResources({MCPResource{"system://info", "System Information", "System facts", "application/json"},
                                     MCPResource{"zarnel://tools", "Available Tools", "Tool list", "application/json"}}),
        FeatureCards::fromPrompts({MCPPrompt{"backup_strategy", "Plan backups", std::vector<PromptArgument>{{"data_type", "What", true}}},
                                   MCPPrompt{"remote_access_security", "SSH checklist", std::nullopt}}));
}

QStringList cardNames(const FunctionsPage& page)
{
    QStringList names;
    for (const FeatureCardWidget* card : page.cards())
        names << card->objectName();
    return names;
}

TEST(FunctionsPage, SwitchesSegmentsWithTheirCategories)
{
    std::unique_ptr<FunctionsPage> page(makePage());
    EXPECT_EQ(cardNames(*page), (QStringList{"read_file", "execute_command", "launch_app"}));
    EXPECT_EQ(page->categoryChoices(), (QStringList{"All", "File System", "System", "App Control"}));

    QTest::mouseClick(page->findChild<QPushButton*>("Resources"), Qt::LeftButton);
    EXPECT_EQ(page->segment(), FunctionsPage::Segment::Resources);
    EXPECT_EQ(cardNames(*page), (QStringList{"System Information", "Available Tools"}));
    EXPECT_TRUE(page->categoryChoices().isEmpty());

    page->setSegment(FunctionsPage::Segment::Prompts);
    EXPECT_EQ(page->categoryChoices(), (QStringList{"All", "Analysis", "System", "Security"}));
    page->setCategory("Security");
    EXPECT_EQ(cardNames(*page), QStringList{"remote_access_security"});
}

TEST(FunctionsPage, SearchFiltersAsTheUserTypes)
{
    std::unique_ptr<FunctionsPage> page(makePage());
    QTest::keyClicks(page->findChild<QLineEdit*>(), "SHELL");
    EXPECT_EQ(cardNames(*page), QStringList{"execute_command"});
    page->setCategory("File System");
    EXPECT_TRUE(page->cards().isEmpty());
}

TEST(FunctionsPage, CardsExpandToTheirDetails)
{
    std::unique_ptr<FunctionsPage> page(makePage());
    FeatureCardWidget* read = page->cards().at(0);
    EXPECT_FALSE(read->isExpanded());
    QTest::mouseClick(read->chevron(), Qt::LeftButton);
    EXPECT_TRUE(read->isExpanded());
    EXPECT_EQ(read->detailsText(), "Parameters:\npath (string) required: Absolute path");

    page->setSegment(FunctionsPage::Segment::Resources);
    FeatureCardWidget* system = page->cards().at(0);
    system->setExpanded(true);
    EXPECT_EQ(system->detailsText(), "URI: system://info\nType: application/json\nAccess via: resources/read");

    page->setSegment(FunctionsPage::Segment::Prompts);
    EXPECT_EQ(page->cards().at(1)->detailsText(), "No arguments required\nAccess via: prompts/get");
    EXPECT_EQ(page->cards().at(0)->detailsText(), "Arguments:\ndata_type required: What\nAccess via: prompts/get");
}

} // namespace

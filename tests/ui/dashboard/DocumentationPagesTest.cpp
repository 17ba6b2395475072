#include "ui/dashboard/DocumentationPages.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <nlohmann/json.hpp>

namespace {

TEST(DocumentationPages, TheClientConfigurationNamesTheRunningProgram)
{
    const QString path = "/opt/my apps/zarnel \"x\"";
    const auto sections = DocumentationPages::gettingStartedSections(path);
    ASSERT_EQ(sections.size(), 4);
    EXPECT_EQ(sections.at(1).first, "How to Connect - Local Access");
    const QString local = sections.at(1).second;
    // The configuration block is valid JSON naming the path exactly.
    const qsizetype begin = local.indexOf("{\n");
    const qsizetype end = local.lastIndexOf("\n}") + 2;
    const auto config = nlohmann::json::parse(local.mid(begin, end - begin).toStdString());
    EXPECT_EQ(config["mcpServers"]["zarnel"]["command"], path.toStdString());
    EXPECT_TRUE(sections.at(2).second.contains("openssh-server"));
    EXPECT_TRUE(sections.at(2).second.contains("ufw"));
    EXPECT_FALSE(sections.at(2).second.contains("Mac"));

    std::unique_ptr<QWidget> page(DocumentationPages::gettingStarted(path));
    QStringList texts;
    for (const QLabel* label : page->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Zarnel is a Model Context Protocol (MCP) server that enables AI assistants to control this computer."));
    EXPECT_TRUE(texts.contains("Security"));
}

TEST(DocumentationPages, ExamplesUseLinuxPathsAndTheLaunchTool)
{
    const auto cards = DocumentationPages::exampleCards();
    QStringList titles;
    for (const auto& card : cards)
        titles << card.title;
    EXPECT_EQ(titles, (QStringList{"Read a File", "Execute Command", "Control Applications", "Take Screenshot", "Search Files"}));
    EXPECT_EQ(cards.at(1).example, "Tool: execute_command\nArguments: {\"command\": \"ls -la ~\"}");
    EXPECT_TRUE(cards.at(2).example.startsWith("Tool: launch_app\n"));
    for (const auto& card : cards) {
        const QString arguments = card.example.section("Arguments: ", 1);
        EXPECT_TRUE(nlohmann::json::accept(arguments.toStdString())) << card.title.toStdString();
    }
}

} // namespace

#include "ui/dashboard/DocumentationPages.h"

#include "ui/MainWindow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <nlohmann/json.hpp>

namespace {

QString bodyOf(const DocumentationPages::Section& section)
{
    QStringList texts;
    for (const auto& block : section.blocks)
        texts << block.text;
    return texts.join("\n\n");
}

// The scroll area of a page (not one of its code blocks).
QScrollArea* pageScrollArea(QWidget* page)
{
    return page->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
}

void settle(QWidget* widget)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget->window()));
    // Word-wrapped labels take their height in a second layout pass.
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents();
}

TEST(DocumentationPages, FitTheSmallestWindowWithCodeScrollingOnItsOwn)
{
    // A path longer than the page is wide: its lines scroll within their code blocks only.
    const QString longPath = "/opt/" + QString(40, 'a') + "/" + QString(40, 'b') + "/" + QString(40, 'c') + "/zarnel";
    MainWindow window;
    window.setPage(DashboardPage::GettingStarted, DocumentationPages::gettingStarted(longPath));
    window.setPage(DashboardPage::Examples, DocumentationPages::examples());
    window.resize(900, 600);
    window.show();
    for (const DashboardPage which : {DashboardPage::GettingStarted, DashboardPage::Examples}) {
        window.selectPage(which);
        QWidget* page = window.page(which);
        const std::string name = page->objectName().toStdString();
        settle(page);
        QScrollArea* scroll = pageScrollArea(page);
        ASSERT_NE(scroll, nullptr) << name;
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << name;
        for (const QLabel* label : page->findChildren<QLabel*>()) {
            if (label->isVisible() && !qobject_cast<QScrollArea*>(label->parentWidget()->parentWidget())) {
                EXPECT_LE(label->width(), scroll->viewport()->width()) << name << ": " << label->text().left(40).toStdString();
            }
        }
        int scrolling = 0;
        for (const QScrollArea* block : page->findChildren<QScrollArea*>("codeBlock")) {
            EXPECT_LE(block->width(), scroll->viewport()->width()) << name;
            if (block->horizontalScrollBar()->isVisible()) {
                ++scrolling;
                // The scroll bar does not cover the last line.
                EXPECT_GE(block->viewport()->height(), block->widget()->sizeHint().height()) << name;
            }
        }
        EXPECT_EQ(scrolling, which == DashboardPage::GettingStarted ? 2 : 0) << name;
    }
}

TEST(DocumentationPages, TheClientConfigurationNamesTheRunningProgram)
{
    const QString path = "/opt/my apps/zarnel \"x\"";
    const auto sections = DocumentationPages::gettingStartedSections(path);
    ASSERT_EQ(sections.size(), 4);
    EXPECT_EQ(sections.at(1).heading, "How to Connect - Local Access");
    const QString local = bodyOf(sections.at(1));
    // The configuration block is valid JSON naming the path exactly.
    const qsizetype begin = local.indexOf("{\n");
    const qsizetype end = local.lastIndexOf("\n}") + 2;
    const auto config = nlohmann::json::parse(local.mid(begin, end - begin).toStdString());
    EXPECT_EQ(config["mcpServers"]["zarnel"]["command"], path.toStdString());
    const QString remote = bodyOf(sections.at(2));
    EXPECT_TRUE(remote.contains("openssh-server"));
    EXPECT_TRUE(remote.contains("ufw"));
    EXPECT_FALSE(remote.contains("Mac"));

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

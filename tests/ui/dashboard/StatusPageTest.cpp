#include "ui/dashboard/StatusPage.h"
#include "ui/dashboard/EmptyState.h"
#include "ui/dashboard/StatusCard.h"
#include "ui/models/ActivityLogModel.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

namespace {

StatusCard* statusCard(const QWidget& page, const char* title)
{
    return page.findChild<StatusCard*>(QString::fromLatin1(title));
}

ActivityLogRow statusRow(const QString& message)
{
    return ActivityLogRow{ActivityLogEntry{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), message, LogType::Request}, 7, {}};
}

TEST(StatusPage, OffersToStartWhileStoppedAndToStopWhileRunning)
{
    ActivityLogModel recent(StatusPage::kRecentEntries);
    StatusPage page(recent);
    auto* button = page.findChild<QPushButton*>("startStop");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Start Server");
    EXPECT_EQ(button->toolTip(), "Click to start the MCP server");
    EXPECT_EQ(statusCard(page, "Server Status")->value(), "Stopped");

    QSignalSpy requested(&page, &StatusPage::runningRequested);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(requested.count(), 1);
    EXPECT_TRUE(requested.at(0).at(0).toBool());

    page.setRunning(true);
    EXPECT_EQ(button->text(), "Stop Server");
    EXPECT_EQ(button->toolTip(), "Server is currently running");
    EXPECT_EQ(button->accessibleName(), "Stop Server");
    EXPECT_EQ(statusCard(page, "Server Status")->value(), "Running");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    ASSERT_EQ(requested.count(), 2);
    EXPECT_FALSE(requested.at(1).at(0).toBool());
}

TEST(StatusPage, ListsTheWaitingClientsWithAStartOnlyWhileThereAreAny)
{
    ActivityLogModel recent(StatusPage::kRecentEntries);
    StatusPage page(recent);
    page.show();
    auto* waiting = page.findChild<QWidget*>("waitingClients");
    ASSERT_NE(waiting, nullptr);
    EXPECT_FALSE(waiting->isVisible());

    page.setWaitingClients({QStringLiteral("Claude Code"), QString()});
    EXPECT_TRUE(waiting->isVisible());
    EXPECT_EQ(page.findChild<QLabel*>("waitingText")->text(), "Waiting clients: 2 (Claude Code, an unnamed client)");
    QSignalSpy requested(&page, &StatusPage::runningRequested);
    QTest::mouseClick(page.findChild<QPushButton*>("startWaiting"), Qt::LeftButton);
    ASSERT_EQ(requested.count(), 1);
    EXPECT_TRUE(requested.at(0).at(0).toBool());

    page.setWaitingClients({});
    EXPECT_FALSE(waiting->isVisible());
}

TEST(StatusPage, ShowsTheFiguresOfEveryProcess)
{
    ActivityLogModel recent(StatusPage::kRecentEntries);
    StatusPage page(recent);
    page.setConnections(3);
    page.setTotalRequests(1234);
    EXPECT_EQ(statusCard(page, "Connections")->value(), "3");
    EXPECT_EQ(statusCard(page, "Total Requests")->value(), "1234");
    EXPECT_EQ(page.findChild<QLabel*>("confinement")->text(), "Not confined");
    page.setAllowedFolderCount(2);
    EXPECT_EQ(page.findChild<QLabel*>("confinement")->text(), "Confined to 2 folders");
}

TEST(StatusPage, ShowsTheEmptyStateUntilTheFirstEntry)
{
    ActivityLogModel recent(StatusPage::kRecentEntries);
    StatusPage page(recent);
    auto* stack = page.findChild<QStackedWidget*>();
    auto* empty = qobject_cast<EmptyState*>(stack->currentWidget());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->title(), "No Activity Yet");
    EXPECT_EQ(empty->text(), "Activity will appear here once the server receives requests");

    recent.addEntry(statusRow("Request: initialize"));
    EXPECT_EQ(qobject_cast<EmptyState*>(stack->currentWidget()), nullptr);
    for (int i = 0; i < 15; ++i)
        recent.addEntry(statusRow(QStringLiteral("Request: %1").arg(i)));
    EXPECT_EQ(recent.rowCount(), 10);
    recent.clear();
    EXPECT_NE(qobject_cast<EmptyState*>(stack->currentWidget()), nullptr);
}

} // namespace

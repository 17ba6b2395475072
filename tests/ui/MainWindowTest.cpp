#include "ui/MainWindow.h"
#include "ui/AboutWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <functional>

namespace {

QStringList sidebarTexts(const MainWindow& window)
{
    QStringList texts;
    auto* sidebar = window.findChild<QListWidget*>(QStringLiteral("sidebar"));
    for (int row = 0; row < sidebar->count(); ++row)
        texts << sidebar->item(row)->text();
    return texts;
}

QStringList labelTexts(const QWidget& widget)
{
    QStringList texts;
    for (const QLabel* label : widget.findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            texts << label->text();
    }
    return texts;
}

} // namespace

TEST(MainWindow, IsTheZarnelWindowWithTheSevenPagesUnderTheirHeadings)
{
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Zarnel"));
    EXPECT_EQ(window.minimumSize(), QSize(900, 600));
    EXPECT_EQ(sidebarTexts(window),
              (QStringList{"Server", "Status", "Statistics", "Activity Log", "Tools", "Functions", "Settings", "Documentation",
                           "Getting Started", "Examples"}));
    // Headings cannot be chosen.
    auto* sidebar = window.findChild<QListWidget*>(QStringLiteral("sidebar"));
    EXPECT_FALSE(sidebar->item(0)->flags() & Qt::ItemIsSelectable);
    EXPECT_EQ(window.currentPage(), DashboardPage::Status);
}

TEST(MainWindow, ChoosingASidebarEntryShowsItsPage)
{
    MainWindow window;
    QSignalSpy changes(&window, &MainWindow::currentPageChanged);
    auto* sidebar = window.findChild<QListWidget*>(QStringLiteral("sidebar"));
    sidebar->setCurrentRow(sidebarTexts(window).indexOf(QStringLiteral("Getting Started")));
    EXPECT_EQ(window.currentPage(), DashboardPage::GettingStarted);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].value<DashboardPage>(), DashboardPage::GettingStarted);
}

TEST(MainWindow, ClosingHidesTheSameWindowWhichComesBackWithItsPage)
{
    auto* window = new MainWindow;
    QPointer<MainWindow> guard(window);
    window->show();
    window->selectPage(DashboardPage::Functions);
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());
    QApplication::processEvents();
    ASSERT_TRUE(guard);

    window->showDashboard();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->currentPage(), DashboardPage::Functions);
    delete window;
}

TEST(MainWindow, ThePageShortcutsBringTheHiddenWindowForwardOnTheirPage)
{
    const struct {
        void (MainWindow::*show)();
        DashboardPage page;
    } cases[] = {
        {&MainWindow::showStatistics, DashboardPage::Statistics},
        {&MainWindow::showActivityLog, DashboardPage::ActivityLog},
        {&MainWindow::showSettings, DashboardPage::Settings},
    };
    for (const auto& c : cases) {
        MainWindow window;
        window.setWindowState(Qt::WindowMinimized);
        (window.*c.show)();
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.isMinimized());
        EXPECT_EQ(window.currentPage(), c.page);
    }
}

TEST(MainWindow, APageSetLaterTakesThePlaceholdersPlace)
{
    MainWindow window;
    window.selectPage(DashboardPage::Statistics);
    QPointer<QWidget> placeholder = window.page(DashboardPage::Statistics);
    auto* statistics = new QLabel(QStringLiteral("the statistics"));
    window.setPage(DashboardPage::Statistics, statistics);
    EXPECT_TRUE(placeholder.isNull());
    EXPECT_EQ(window.page(DashboardPage::Statistics), statistics);
    EXPECT_EQ(window.findChild<QStackedWidget*>(QStringLiteral("pages"))->currentWidget(), statistics);
    // The others stay where they were.
    window.selectPage(DashboardPage::Settings);
    EXPECT_EQ(window.findChild<QStackedWidget*>(QStringLiteral("pages"))->currentWidget(), window.page(DashboardPage::Settings));
}

TEST(MainWindow, BuildsEachPageWhenItIsFirstShown)
{
    MainWindow window;
    QList<DashboardPage> built;
    window.setPageFactory([&built](DashboardPage which) {
        built.append(which);
        return new QLabel(dashboardPageTitle(which) + QStringLiteral(" page"));
    });
    const auto* pages = window.findChild<QStackedWidget*>(QStringLiteral("pages"));
    const auto shownText = [pages] { return qobject_cast<QLabel*>(pages->currentWidget())->text(); };

    // Behind the tray, choosing a page builds nothing yet.
    window.selectPage(DashboardPage::Statistics);
    EXPECT_TRUE(built.isEmpty());
    window.show();
    EXPECT_EQ(built, QList{DashboardPage::Statistics});
    EXPECT_EQ(shownText(), "Statistics page");
    window.selectPage(DashboardPage::Settings);
    window.selectPage(DashboardPage::Statistics);
    EXPECT_EQ(built, (QList{DashboardPage::Statistics, DashboardPage::Settings}));
    EXPECT_EQ(shownText(), "Statistics page");

    // Whoever asks for a page gets it built, shown or not.
    window.hide();
    EXPECT_EQ(qobject_cast<QLabel*>(window.page(DashboardPage::Examples))->text(), "Examples page");
    EXPECT_TRUE(window.hasPage(DashboardPage::Examples));
    EXPECT_FALSE(window.hasPage(DashboardPage::Functions));
    EXPECT_EQ(built.size(), 3);
}

TEST(MainWindow, TheNoticeShowsOnlyWhenThereIsOne)
{
    MainWindow window;
    window.show();
    auto* notice = window.findChild<QLabel*>(QStringLiteral("notice"));
    EXPECT_FALSE(notice->isVisible());
    window.setNotice(QStringLiteral("No system tray"));
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(window.notice(), QStringLiteral("No system tray"));
    window.setNotice({});
    EXPECT_FALSE(notice->isVisible());
}

TEST(AboutWindow, AskingTwiceShowsOneWindowWithTheThreeLines)
{
    MainWindow window;
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("aboutButton"))->click();
    AboutWindow* about = window.aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Zarnel"));
    EXPECT_EQ(labelTexts(*about), (QStringList{"Zarnel Server", "Version 1.0.1", "Model Context Protocol Server"}));

    about->close();
    EXPECT_FALSE(about->isVisible());
    window.findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
    EXPECT_EQ(window.aboutWindow(), about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(window.findChildren<AboutWindow*>().size(), 1);
    EXPECT_EQ(window.findChild<QAction*>(QStringLiteral("aboutAction"))->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST(AboutWindow, IsADialogThatClosesByItsButtonEscapeAndCtrlW)
{
    MainWindow window;
    window.show();
    window.showAboutWindow();
    AboutWindow* about = window.aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(about->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_NE(about->minimumSize(), about->maximumSize());
    EXPECT_GE(about->width(), about->minimumSizeHint().width());
    EXPECT_GE(about->height(), about->minimumSizeHint().height());

    const auto closesBy = [&](const std::function<void()>& gesture) {
        window.showAboutWindow();
        if (!QTest::qWaitForWindowActive(about))
            about->activateWindow();
        gesture();
        return !about->isVisible();
    };
    EXPECT_TRUE(closesBy([&] { about->findChild<QPushButton*>(QStringLiteral("aboutCloseButton"))->click(); }));
    EXPECT_TRUE(closesBy([&] { QTest::keyClick(about, Qt::Key_Escape); }));
    EXPECT_TRUE(closesBy([&] { QTest::keyClick(about, Qt::Key_W, Qt::ControlModifier); }));
    // Closed, not destroyed: the next request shows the same one.
    window.showAboutWindow();
    EXPECT_EQ(window.aboutWindow(), about);
}

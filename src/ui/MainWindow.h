#pragma once

#include "ui/DashboardPage.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

class AboutWindow;
class QLabel;
class QListWidget;
class QStackedWidget;

// The one dashboard window: a sidebar with the seven pages under their group headings and the
// page area beside it. Closing it hides it; it lives as long as the program. Pages start out as
// empty placeholders that the dashboard replaces with setPage(), or that the page factory
// replaces when the page is first on screen: the window spends most of its life hidden behind
// the tray, and a page nobody looked at costs nothing.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Puts `page` in the page area in place of what was there (which is deleted); takes ownership.
    void setPage(DashboardPage which, QWidget* page);
    // Builds each page still a placeholder when it is first shown in the visible window (at once
    // for the page on screen now). The factory returns a new page, owned by the window.
    using PageFactory = std::function<QWidget*(DashboardPage)>;
    void setPageFactory(PageFactory factory);
    // The page, built first if the factory is to build it.
    QWidget* page(DashboardPage which);
    // Whether the page is the one set or built (not the placeholder).
    bool hasPage(DashboardPage which) const;
    DashboardPage currentPage() const { return m_current; }

    // A line above the pages for something the user should know (empty hides it).
    void setNotice(const QString& text);
    QString notice() const;

    // Null until the About window was first asked for.
    AboutWindow* aboutWindow() const;

public Q_SLOTS:
    // Brings the window forward (shown, not minimised, raised, active) without changing the page.
    void showDashboard();
    // Selects a page; the window is not brought forward.
    void selectPage(DashboardPage which);
    // Bring the window forward, then select their page.
    void showStatistics();
    void showActivityLog();
    void showSettings();
    // Shows the one About window, creating it on first use.
    void showAboutWindow();

Q_SIGNALS:
    void currentPageChanged(DashboardPage page);
    // Emitted when the window is shown or hidden, for whoever decides when the server starts.
    void visibilityChanged(bool visible);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildSidebar();
    int rowOf(DashboardPage which) const;
    void buildPage(DashboardPage which);

    QListWidget* m_sidebar = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLabel* m_notice = nullptr;
    QPointer<AboutWindow> m_about;
    DashboardPage m_current = DashboardPage::Status;
    PageFactory m_factory;
    std::array<bool, kDashboardPages.size()> m_built{};
};

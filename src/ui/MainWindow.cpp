#include "ui/MainWindow.h"

#include "ui/AboutWindow.h"
#include "ui/ApplicationIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPageRole = Qt::UserRole + 1;

struct SidebarGroup {
    const char* heading;
    std::initializer_list<DashboardPage> pages;
};

const SidebarGroup kGroups[] = {
    {"Server", {DashboardPage::Status, DashboardPage::Statistics, DashboardPage::ActivityLog}},
    {"Tools", {DashboardPage::Functions, DashboardPage::Settings}},
    {"Documentation", {DashboardPage::GettingStarted, DashboardPage::Examples}},
};

QWidget* placeholderPage(DashboardPage page)
{
    auto* placeholder = new QLabel(dashboardPageTitle(page));
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setForegroundRole(QPalette::PlaceholderText);
    return placeholder;
}

} // namespace

QString dashboardPageTitle(DashboardPage page)
{
    switch (page) {
    case DashboardPage::Status: return QStringLiteral("Status");
    case DashboardPage::Statistics: return QStringLiteral("Statistics");
    case DashboardPage::ActivityLog: return QStringLiteral("Activity Log");
    case DashboardPage::Functions: return QStringLiteral("Functions");
    case DashboardPage::Settings: return QStringLiteral("Settings");
    case DashboardPage::GettingStarted: return QStringLiteral("Getting Started");
    case DashboardPage::Examples: return QStringLiteral("Examples");
    }
    return {};
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Zarnel"));
    setWindowIcon(ApplicationIcons::applicationIcon());
    setMinimumSize(900, 600);

    m_pages = new QStackedWidget;
    m_pages->setObjectName(QStringLiteral("pages"));
    for (DashboardPage page : kDashboardPages)
        m_pages->addWidget(placeholderPage(page));

    m_notice = new QLabel;
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setWordWrap(true);
    m_notice->setMargin(8);
    m_notice->setAutoFillBackground(true);
    m_notice->setBackgroundRole(QPalette::ToolTipBase);
    m_notice->setForegroundRole(QPalette::ToolTipText);
    m_notice->hide();

    auto* pageArea = new QVBoxLayout;
    pageArea->setContentsMargins(0, 0, 0, 0);
    pageArea->setSpacing(0);
    pageArea->addWidget(m_notice);
    pageArea->addWidget(m_pages, 1);

    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar());
    layout->addLayout(pageArea, 1);
    setCentralWidget(central);

    // A Linux desktop has no application menu to hold "About Zarnel": the sidebar has a button
    // for it and the window a shortcut.
    auto* about = new QAction(QStringLiteral("About Zarnel"), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    about->setShortcutContext(Qt::WindowShortcut);
    connect(about, &QAction::triggered, this, &MainWindow::showAboutWindow);
    addAction(about);

    selectPage(DashboardPage::Status);
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::buildSidebar()
{
    m_sidebar = new QListWidget;
    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setAccessibleName(QStringLiteral("Pages"));
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setIconSize(QSize(16, 16));
    for (const SidebarGroup& group : kGroups) {
        auto* heading = new QListWidgetItem(QString::fromLatin1(group.heading), m_sidebar);
        heading->setFlags(Qt::NoItemFlags);
        QFont font = heading->font();
        font.setBold(true);
        heading->setFont(font);
        for (DashboardPage page : group.pages) {
            auto* entry = new QListWidgetItem(ApplicationIcons::pageIcon(page), dashboardPageTitle(page), m_sidebar);
            entry->setData(kPageRole, static_cast<int>(page));
        }
    }
    connect(m_sidebar, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item && item->data(kPageRole).isValid())
            selectPage(static_cast<DashboardPage>(item->data(kPageRole).toInt()));
    });

    auto* aboutButton = new QPushButton(QStringLiteral("About Zarnel"));
    aboutButton->setObjectName(QStringLiteral("aboutButton"));
    aboutButton->setToolTip(QStringLiteral("About Zarnel (F1)"));
    aboutButton->setFlat(true);
    connect(aboutButton, &QPushButton::clicked, this, &MainWindow::showAboutWindow);

    auto* sidebar = new QWidget;
    sidebar->setFixedWidth(200);
    sidebar->setAutoFillBackground(true);
    sidebar->setBackgroundRole(QPalette::AlternateBase);
    m_sidebar->setBackgroundRole(QPalette::AlternateBase);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(8, 12, 8, 8);
    layout->addWidget(m_sidebar, 1);
    layout->addWidget(aboutButton);
    return sidebar;
}

int MainWindow::rowOf(DashboardPage which) const
{
    for (int row = 0; row < m_sidebar->count(); ++row) {
        const QVariant page = m_sidebar->item(row)->data(kPageRole);
        if (page.isValid() && page.toInt() == static_cast<int>(which))
            return row;
    }
    return -1;
}

void MainWindow::setPage(DashboardPage which, QWidget* page)
{
    const int index = static_cast<int>(which);
    QWidget* previous = m_pages->widget(index);
    const bool wasCurrent = m_pages->currentIndex() == index;
    m_pages->insertWidget(index, page);
    m_pages->removeWidget(previous);
    delete previous;
    if (wasCurrent)
        m_pages->setCurrentIndex(index);
    m_built[static_cast<std::size_t>(index)] = true;
}

void MainWindow::setPageFactory(PageFactory factory)
{
    m_factory = std::move(factory);
    if (isVisible())
        buildPage(m_current);
}

void MainWindow::buildPage(DashboardPage which)
{
    if (m_factory && !hasPage(which))
        setPage(which, m_factory(which));
}

QWidget* MainWindow::page(DashboardPage which)
{
    buildPage(which);
    return m_pages->widget(static_cast<int>(which));
}

bool MainWindow::hasPage(DashboardPage which) const
{
    return m_built[static_cast<std::size_t>(which)];
}

void MainWindow::setNotice(const QString& text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

QString MainWindow::notice() const
{
    return m_notice->text();
}

void MainWindow::selectPage(DashboardPage which)
{
    const bool changed = which != m_current;
    m_current = which;
    if (isVisible())
        buildPage(which);
    m_pages->setCurrentIndex(static_cast<int>(which));
    m_sidebar->setCurrentRow(rowOf(which));
    if (changed)
        Q_EMIT currentPageChanged(which);
}

void MainWindow::showDashboard()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::showStatistics()
{
    showDashboard();
    selectPage(DashboardPage::Statistics);
}

void MainWindow::showActivityLog()
{
    showDashboard();
    selectPage(DashboardPage::ActivityLog);
}

void MainWindow::showSettings()
{
    showDashboard();
    selectPage(DashboardPage::Settings);
}

AboutWindow* MainWindow::aboutWindow() const
{
    return m_about;
}

void MainWindow::showAboutWindow()
{
    if (!m_about)
        m_about = new AboutWindow(this);
    m_about->present();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window is the program's only one and holds the pages' state: closing hides it, and
    // the tray or a second launch brings it back as it was.
    event->ignore();
    hide();
}

void MainWindow::showEvent(QShowEvent* event)
{
    // Before the first paint, so the page appears with its data rather than as a placeholder.
    buildPage(m_current);
    QMainWindow::showEvent(event);
    Q_EMIT visibilityChanged(true);
}

void MainWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    Q_EMIT visibilityChanged(false);
}

#include "ui/tray/TrayIcon.h"

#include "ui/ApplicationIcons.h"
#include "ui/tray/TrayMenu.h"

#include <QSystemTrayIcon>

TrayIcon::TrayIcon(std::function<TrayFigures()> readFigures, QObject* parent)
    : QObject(parent)
    , m_readFigures(std::move(readFigures))
{
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &TrayIcon::refresh);
}

TrayIcon::~TrayIcon()
{
    m_refreshTimer.stop();
    // Each action leaves the menu first: the desktop's own menu (a D-Bus menu where the tray host
    // takes one) frees its copy of an entry as the entry leaves, but not when it is destroyed
    // with entries still in it.
    if (m_menu) {
        const QList<QAction*> actions = m_menu->actions();
        for (QAction* action : actions)
            m_menu->removeAction(action);
    }
    delete m_tray;
    delete m_menu;
}

bool TrayIcon::hostAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
    if (m_tray)
        return;
    // Made only for a tray that is there: without one, the window is the way in.
    m_menu = new TrayMenu(m_model);
    connect(m_menu, &TrayMenu::actionChosen, this, &TrayIcon::actionChosen);
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT actionChosen(TrayAction::ShowDashboard);
    });
    applyAppearance(std::nullopt);
    refresh();
    m_tray->show();
    m_refreshTimer.start();
}

void TrayIcon::refresh()
{
    // Without a tray nobody sees the figures, which cost a read of the shared statistics.
    if (!m_tray)
        return;
    const TrayFigures figures = m_readFigures();
    m_model.setFigures(figures);
    // The picture follows every process's state, including stops made elsewhere (another
    // process's client, the command line), not only the toggles made here.
    if (m_shownState != figures.running)
        applyAppearance(figures.running);
}

void TrayIcon::applyAppearance(std::optional<bool> running)
{
    m_shownState = running;
    if (!m_tray)
        return;
    const TrayAppearance look = trayAppearance(running);
    m_tray->setIcon(ApplicationIcons::trayIcon(look.running));
    m_tray->setToolTip(look.toolTip.isEmpty() ? look.accessibleName : look.toolTip);
}

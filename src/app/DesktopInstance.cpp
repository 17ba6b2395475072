#include "app/DesktopInstance.h"

#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "platform/processes/Log.h"
#include "platform/store/PreferencesStore.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/StatisticsManager.h"
#include "ui/DashboardPage.h"
#include "ui/MainWindow.h"
#include "ui/dashboard/Dashboard.h"
#include "ui/tray/TrayIcon.h"

#include <QPointer>

namespace {

const QString kNoTrayNotice = QStringLiteral("This desktop has no system tray, so Zarnel shows no tray item: this window stays the way in. "
                                             "Start Zarnel again from the applications menu to bring it back after closing it.");

} // namespace

DesktopInstance::DesktopInstance(ServerComponents& components, RunningInstances& instances, std::unique_ptr<TrayHostWatcher> trayHost,
                                 QObject* parent)
    : QObject(parent)
    , m_components(components)
    , m_instances(instances)
    , m_window(std::make_unique<MainWindow>())
    , m_tray(std::make_unique<TrayIcon>([this] { return readFigures(); }))
    , m_trayHost(std::move(trayHost))
{
    connect(m_tray.get(), &TrayIcon::actionChosen, this, &DesktopInstance::perform);

    // The window's pages: the dashboard over every process.
    m_dashboard = std::make_unique<Dashboard>(components, instances, components.services().clipboard, [this] {
        QList<CapabilityStatus> shown;
        for (const DesktopCapability& each : m_capabilities.capabilities())
            shown.append(CapabilityStatus{each.name, each.available, each.route, each.advice});
        return shown;
    });
    // Built when first shown: the window is usually hidden behind the tray item.
    m_window->setPageFactory([this](DashboardPage which) { return m_dashboard->createPage(which); });
    connect(m_dashboard.get(), &Dashboard::capabilitiesRefreshRequested, this, [this] { m_capabilities.refresh(); });
    connect(&m_capabilities, &DesktopCapabilities::changed, m_dashboard.get(), &Dashboard::showCapabilities);
    m_dashboard->followStatistics(m_window->isVisible());
    connect(m_window.get(), &MainWindow::visibilityChanged, m_dashboard.get(), &Dashboard::followStatistics);
    // Starts and stops show at once, not only at the next refresh.
    connect(&m_instances, &RunningInstances::changed, m_tray.get(), &TrayIcon::refresh);
    connect(&m_components.server(), &MCPServer::isRunningChanged, m_tray.get(), &TrayIcon::refresh);
}

DesktopInstance::~DesktopInstance() = default;

void DesktopInstance::start(bool hidden)
{
    // Qt is asked only once a tray is there: its first answer holds for the rest of the run.
    const bool trayHost = m_trayHost->isPresent() && TrayIcon::hostAvailable();
    m_capabilities.setTrayHostAvailable(trayHost);
    if (trayHost) {
        m_tray->show();
    } else {
        m_window->setNotice(kNoTrayNotice);
        m_components.activityLog().add(QStringLiteral("No system tray on this desktop: the dashboard window is shown instead"),
                                       LogType::Info);
        // Started at login before the panel, for example: the item goes in when the tray comes.
        connect(m_trayHost.get(), &TrayHostWatcher::appeared, this, &DesktopInstance::trayHostAppeared);
    }
    if (!hidden || !trayHost)
        m_window->showDashboard();
    checkCapabilities();
}

void DesktopInstance::trayHostAppeared()
{
    if (m_tray->isShown() || !TrayIcon::hostAvailable())
        return;
    m_tray->show();
    m_window->setNotice({});
    m_capabilities.setTrayHostAvailable(true);
    m_capabilities.refresh();
    m_components.activityLog().add(QStringLiteral("A system tray appeared: Zarnel's item is in it now"), LogType::Info);
}

TrayFigures DesktopInstance::readFigures()
{
    // Other processes save their counters every few seconds; read what they saved.
    m_components.statistics().load();
    TrayFigures figures;
    figures.totalRequests = m_components.statistics().totalRequests();
    if (m_instances.processCount() == 0) {
        // Before this process's own socket is found, and when the control folder is unusable.
        figures.running = m_components.server().isRunning();
        figures.connections = m_components.server().connectionCount();
        if (m_components.server().isWaiting()) {
            const auto& client = m_components.server().clientInfo();
            figures.waitingClients << (client ? QString::fromStdString(client->name) : QString());
        }
        for (const ActivityLogEntry& entry : m_components.activityLog().entries().mid(0, TrayMenuModel::kRecentEntries))
            figures.recentMessages << entry.message;
        return figures;
    }
    figures.running = m_instances.anyRunning();
    figures.connections = m_instances.totalConnections();
    for (const InstanceInfo& waiting : m_instances.waitingClients())
        figures.waitingClients << waiting.clientName;
    for (const InstanceLogEntry& entry : m_instances.mergedLog().mid(0, TrayMenuModel::kRecentEntries))
        figures.recentMessages << entry.entry.message;
    return figures;
}

void DesktopInstance::perform(TrayAction action)
{
    switch (action) {
    case TrayAction::None: break;
    case TrayAction::ToggleServer: toggleServer(); break;
    case TrayAction::ShowDashboard: m_window->showDashboard(); break;
    case TrayAction::ShowStatistics: m_window->showStatistics(); break;
    case TrayAction::ShowActivityLog: m_window->showActivityLog(); break;
    case TrayAction::ShowSettings: m_window->showSettings(); break;
    case TrayAction::Quit: Q_EMIT quitRequested(); break;
    }
}

QCoro::Task<> DesktopInstance::toggleServer()
{
    if (m_toggling)
        co_return;
    QPointer<DesktopInstance> self(this);
    m_toggling = true;
    // One click stops (or starts) every assistant's process, this one included.
    const bool stop = readFigures().running;
    // Named first: g++ 12 destroys temporaries inside a co_await expression twice.
    QCoro::Task<bool> setting = m_instances.setAllRunning(!stop);
    co_await setting;
    if (!self)
        co_return;
    if (m_instances.processCount() == 0) {
        // No process is reachable through the control folder, this one included.
        if (stop)
            m_components.server().stop();
        else
            m_components.server().start();
    }
    m_toggling = false;
    m_tray->refresh();
}

QCoro::Task<> DesktopInstance::checkCapabilities()
{
    QPointer<DesktopInstance> self(this);
    QCoro::Task<> looking = m_capabilities.refresh();
    co_await looking;
    if (!self)
        co_return;
    PreferencesStore& store = m_components.store();
    if (store.boolValue(QString::fromLatin1(kInitialCheckKey)))
        co_return;
    // Once per user: say what is missing and how to get it. Never asked again.
    for (const DesktopCapability& capability : m_capabilities.missing()) {
        m_components.activityLog().add(QStringLiteral("%1 unavailable on this desktop: %2").arg(capability.name, capability.advice),
                                       LogType::Error);
    }
    store.writeBool(QString::fromLatin1(kInitialCheckKey), true);
}

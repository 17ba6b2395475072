#include "ui/dashboard/Dashboard.h"

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "state/HistoryRecorder.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "tools/ToolRegistry.h"
#include "ui/dashboard/ActivityLogPage.h"
#include "ui/dashboard/DocumentationPages.h"
#include "ui/dashboard/FunctionsPage.h"
#include "ui/dashboard/StatisticsPage.h"
#include "ui/dashboard/StatusPage.h"
#include "ui/models/ActivityLogModel.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

ActivityLogRow rowOf(const InstanceLogEntry& entry)
{
    return ActivityLogRow{entry.entry, entry.pid, entry.clientName};
}

} // namespace

Dashboard::Dashboard(ServerComponents& components, RunningInstances& instances, std::shared_ptr<Clipboard> clipboard,
                     SettingsPage::CapabilityProbe capabilities, QObject* parent)
    : QObject(parent)
    , m_components(components)
    , m_instances(instances)
    , m_clipboard(std::move(clipboard))
    , m_capabilities(std::move(capabilities))
    , m_log(new ActivityLogModel(-1, this))
    , m_recent(new ActivityLogModel(StatusPage::kRecentEntries, this))
    , m_statisticsFollow(new QTimer(this))
{
    connect(&m_instances, &RunningInstances::changed, this, &Dashboard::showInstances);
    connect(&m_instances, &RunningInstances::sessionChanged, this, &Dashboard::showSessions);
    connect(&m_instances, &RunningInstances::entryAdded, this, &Dashboard::addEntry);
    connect(&m_instances, &RunningInstances::logCleared, this, &Dashboard::reloadLog);
    connect(&m_components.settings(), &SettingsManager::maxLogEntriesChanged, this, &Dashboard::showInstances);

    // Other processes save their figures to the shared store every few seconds; reading it
    // again shows them here, combined with what this process has not saved yet.
    m_statisticsFollow->setInterval(kStatisticsFollowMs);
    connect(m_statisticsFollow, &QTimer::timeout, &m_components.statistics(), &StatisticsManager::load);
    m_statisticsFollow->start();
    reloadLog();
}

Dashboard::~Dashboard() = default;

QList<QWidget*> Dashboard::createPages()
{
    QList<QWidget*> pages;
    for (DashboardPage which : kDashboardPages)
        pages.append(createPage(which));
    return pages;
}

QWidget* Dashboard::createPage(DashboardPage which)
{
    switch (which) {
    case DashboardPage::Status: {
        m_status = new StatusPage(*m_recent);
        connect(m_status, &StatusPage::runningRequested, this, [this](bool running) { setAllRunning(running); });
        const auto showRequests = [this] { m_status->setTotalRequests(m_components.statistics().totalRequests()); };
        connect(&m_components.statistics(), &StatisticsManager::statisticsChanged, m_status, showRequests);
        showRequests();
        const auto showFolders = [this] { m_status->setAllowedFolderCount(m_components.settings().allowedFolders().size()); };
        connect(&m_components.settings(), &SettingsManager::foldersChanged, m_status, showFolders);
        showFolders();
        showInstances();
        return m_status;
    }
    case DashboardPage::Statistics:
        m_statistics = new StatisticsPage(m_components.statistics(), m_clipboard, m_components.clock());
        connect(m_statistics, &StatisticsPage::resetRequested, this, [this] { resetAllStatistics(); });
        showSessions();
        return m_statistics;
    case DashboardPage::ActivityLog: {
        HistoryRecorder* history = m_components.history();
        auto* activity = new ActivityLogPage(*m_log, m_clipboard, m_components.clock(), history ? history->databasePath() : QString(),
                                             [this] { return m_components.settings().historyDays(); });
        connect(activity, &ActivityLogPage::clearRequested, this, [this] { clearAllLogs(); });
        return activity;
    }
    case DashboardPage::Functions:
        return new FunctionsPage(FeatureCards::fromTools(m_components.tools().listTools()),
                                 FeatureCards::fromResources(m_components.resources().resources()),
                                 FeatureCards::fromPrompts(m_components.prompts().prompts()));
    case DashboardPage::Settings:
        m_settingsPage = new SettingsPage(
            m_components.settings(), [this](const QString& key, const QVariant& value) { writeSetting(key, value); }, m_capabilities);
        connect(m_settingsPage, &SettingsPage::capabilitiesRefreshRequested, this, &Dashboard::capabilitiesRefreshRequested);
        return m_settingsPage;
    case DashboardPage::GettingStarted: return DocumentationPages::gettingStarted(QCoreApplication::applicationFilePath());
    case DashboardPage::Examples: return DocumentationPages::examples();
    }
    return nullptr;
}

void Dashboard::showInstances()
{
    // Each process keeps up to maxLogEntries of its own; the merged log keeps as many per process.
    const int processes = std::max(1, m_instances.processCount());
    m_log->setCapacity(std::max<qint64>(1, m_components.settings().maxLogEntries()) * processes);
    if (m_knownProcesses >= 0 && processes != m_knownProcesses)
        reloadLog(); // a process came (with its log so far) or went (with its entries)
    m_knownProcesses = processes;
    if (m_status) {
        m_status->setRunning(m_instances.anyRunning());
        m_status->setConnections(m_instances.totalConnections());
        QStringList waiting;
        for (const InstanceInfo& each : m_instances.waitingClients())
            waiting << each.clientName;
        m_status->setWaitingClients(waiting);
    }
    showSessions(); // a process came or went
}

void Dashboard::showSessions()
{
    // Until the processes are known (this one among them), this process's own session.
    if (m_statistics)
        m_statistics->setSession(m_instances.processCount() > 0 ? std::optional(m_instances.session()) : std::nullopt);
}

void Dashboard::reloadLog()
{
    QList<ActivityLogRow> rows;
    for (const InstanceLogEntry& entry : m_instances.mergedLog())
        rows.append(rowOf(entry));
    m_log->setEntries(rows);
    m_recent->setEntries(rows);
}

void Dashboard::addEntry(const InstanceLogEntry& entry)
{
    m_log->addEntry(rowOf(entry));
    m_recent->addEntry(rowOf(entry));
}

QCoro::Task<> Dashboard::setAllRunning(bool running)
{
    QPointer<Dashboard> self(this);
    co_await m_instances.setAllRunning(running);
    if (self)
        showInstances();
}

QCoro::Task<> Dashboard::clearAllLogs()
{
    QPointer<Dashboard> self(this);
    co_await m_instances.clearAllLogs();
    if (self)
        reloadLog();
}

QCoro::Task<> Dashboard::resetAllStatistics()
{
    co_await m_instances.resetAllStatistics(m_components.statistics());
}

QCoro::Task<> Dashboard::writeSetting(QString key, QVariant value)
{
    co_await m_instances.setSetting(std::move(key), std::move(value));
}

void Dashboard::followStatistics(bool shown)
{
    if (!shown) {
        m_statisticsFollow->stop();
        return;
    }
    if (m_statisticsFollow->isActive())
        return;
    m_components.statistics().load();
    m_statisticsFollow->start();
}

void Dashboard::showCapabilities()
{
    if (m_settingsPage)
        m_settingsPage->refreshCapabilities();
}

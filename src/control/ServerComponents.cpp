#include "control/ServerComponents.h"

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "control/ControlFolder.h"
#include "platform/desktop/XdgAutostartEntry.h"
#include "platform/files/ConfinedFileManager.h"
#include "platform/files/FolderConfinement.h"
#include "platform/store/PreferencesStore.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "server/ClientConfirmationAsker.h"
#include "server/ClientRoots.h"
#include "server/ConfirmationGate.h"
#include "server/MCPServer.h"
#include "server/StdioTransport.h"
#include "state/ActivityLog.h"
#include "state/HistoryRecorder.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "tools/BuiltInTools.h"
#include "tools/ToolAnnotations.h"
#include "tools/ToolRegistry.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Checked before anything is built over them.
PlatformServices complete(PlatformServices services)
{
    services.requireComplete("The server's components");
    return services;
}

// The tools reach files only through the confinement.
PlatformServices confined(PlatformServices services, const std::shared_ptr<FolderConfinement>& confinement)
{
    services.files = std::make_shared<ConfinedFileManager>(services.files, confinement);
    return services;
}

// What no tool may change: the settings (which hold the confinement and the confirmation switch),
// the state, the control sockets and the entry that starts Zarnel at login.
QStringList ownFilesOfThisUser()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.startsWith(QLatin1Char('/')))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return {QFileInfo(QSettingsPreferencesStore::userStorePath()).absolutePath(), state + QStringLiteral("/zarnel"),
            ControlFolder::defaultPath(),
            XdgAutostartEntry::userConfigHome() + QStringLiteral("/autostart/") + QLatin1String(XdgAutostartEntry::kFileName)};
}

FolderRules folderRules(const SettingsManager& settings)
{
    return FolderRules{settings.allowedFolders(), settings.readOnlyFolders(), settings.commandNetwork()};
}

// The tools whose annotations say they destroy or reach beyond this machine wait for a person's
// yes while requireConfirmation is on.
bool needsConfirmation(const std::string& tool)
{
    const ToolAnnotations* annotations = ToolAnnotations::find(tool);
    return annotations && annotations->needsConfirmation();
}

} // namespace

ServerComponents::ServerComponents(PreferencesStore& store, const Clock& clock, StandardStreams& streams, PlatformServices services)
    : m_store(store)
    , m_clock(clock)
    , m_confinement(std::make_shared<FolderConfinement>(ownFilesOfThisUser(), QStringList{ControlFolder().tokenPath()}))
    , m_services(confined(complete(std::move(services)), m_confinement))
    , m_settings(std::make_unique<SettingsManager>(store))
    , m_statistics(std::make_unique<StatisticsManager>(store, clock))
    , m_tools(std::make_unique<ToolRegistry>())
    , m_activityLog(std::make_unique<ActivityLog>(*m_settings, clock))
    , m_confirmationGate(std::make_unique<ConfirmationGate>(*m_settings, *m_activityLog, needsConfirmation))
    , m_resources(std::make_unique<ResourceManager>(ResourceSources{m_activityLog.get(), m_statistics.get(), m_settings.get(),
                                                                    m_tools.get(), &clock, m_services.systemInformation,
                                                                    m_services.files.get(), m_confinement.get()}))
    , m_prompts(std::make_unique<PromptManager>(m_services.systemInformation, *m_services.files))
    , m_transport(std::make_unique<StdioTransport>(streams))
    , m_server(std::make_unique<MCPServer>(*m_tools, *m_resources, *m_prompts, *m_settings, *m_statistics, *m_activityLog, *m_transport))
{
    m_resources->attachServer(m_server.get());
    m_server->setConfirmationGate(m_confirmationGate.get());
    // The client's user is asked first, in every process; the program adds the desktop's dialog.
    m_clientConfirmations = std::make_unique<ClientConfirmationAsker>(m_server->clientQuestions());
    m_confirmationGate->setClientAsker(m_clientConfirmations.get());
    m_confinement->setRules(folderRules(*m_settings));
    m_server->clientRoots().onChange(
        [confinement = m_confinement](std::optional<QStringList> roots) { confinement->setRoots(std::move(roots)); });
    QObject::connect(m_settings.get(), &SettingsManager::foldersChanged, m_settings.get(),
                     [this] { m_confinement->setRules(folderRules(*m_settings)); });
    BuiltInTools::registerAll(*m_tools, ToolEnvironment{m_settings.get(), m_services, m_confinement});
}

ServerComponents::~ServerComponents()
{
    // The server answers no more calls: the recorder, which it points at, can go first.
    if (m_server)
        m_server->setHistoryRecorder(nullptr);
    m_history.reset();
}

void ServerComponents::keepHistory(const QString& databasePath)
{
    m_server->setHistoryRecorder(nullptr);
    m_history = std::make_unique<HistoryRecorder>(databasePath, *m_settings, *m_activityLog, m_clock);
    m_server->setHistoryRecorder(m_history.get());
}

void ServerComponents::shutdown()
{
    // Stopping ends a running session only, so a session already ended by a stop is not
    // counted twice; calling this again saves nothing new.
    m_server->stop();
    m_statistics->saveNow();
    if (m_history)
        m_history->flush();
}

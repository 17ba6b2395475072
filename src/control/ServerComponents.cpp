#include "control/ServerComponents.h"

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "platform/PreferencesStore.h"
#include "server/ConfirmationGate.h"
#include "server/MCPServer.h"
#include "server/StdioTransport.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "tools/BuiltInTools.h"
#include "tools/ToolRegistry.h"

#include <set>

namespace {

// Checked before anything is built over them.
PlatformServices complete(PlatformServices services)
{
    services.requireComplete("The server's components");
    return services;
}

// The tools that change or remove what is there, or reach beyond this machine.
bool changesThings(const std::string& tool)
{
    static const std::set<std::string> changing = {"copy_file", "delete_file", "execute_applescript", "execute_command", "launch_app",
                                                   "move_file", "quit_app",    "set_clipboard",       "write_file"};
    return changing.contains(tool);
}

} // namespace

ServerComponents::ServerComponents(PreferencesStore& store, const Clock& clock, StandardStreams& streams, PlatformServices services)
    : m_store(store)
    , m_clock(clock)
    , m_services(complete(std::move(services)))
    , m_settings(std::make_unique<SettingsManager>(store))
    , m_statistics(std::make_unique<StatisticsManager>(store, clock))
    , m_tools(std::make_unique<ToolRegistry>())
    , m_activityLog(std::make_unique<ActivityLog>(*m_settings, clock))
    , m_confirmationGate(std::make_unique<ConfirmationGate>(*m_settings, *m_activityLog, changesThings))
    , m_resources(
          std::make_unique<ResourceManager>(ResourceSources{m_activityLog.get(), m_statistics.get(), m_settings.get(), m_tools.get(),
                                                            &clock, m_services.systemInformation, m_services.files.get()}))
    , m_prompts(std::make_unique<PromptManager>(m_services.systemInformation, *m_services.files))
    , m_transport(std::make_unique<StdioTransport>(streams))
    , m_server(std::make_unique<MCPServer>(*m_tools, *m_resources, *m_prompts, *m_settings, *m_statistics, *m_activityLog, *m_transport))
{
    m_resources->attachServer(m_server.get());
    m_server->setConfirmationGate(m_confirmationGate.get());
    BuiltInTools::registerAll(*m_tools, ToolEnvironment{m_settings.get(), m_services});
}

ServerComponents::~ServerComponents() = default;

void ServerComponents::shutdown()
{
    // Stopping ends a running session only, so a session already ended by a stop is not
    // counted twice; calling this again saves nothing new.
    m_server->stop();
    m_statistics->saveNow();
}

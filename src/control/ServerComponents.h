#pragma once

#include "platform/PlatformServices.h"

#include <QString>

#include <memory>

class ActivityLog;
class ClientConfirmationAsker;
class Clock;
class ConfirmationGate;
class HistoryRecorder;
class FolderConfinement;
class MCPServer;
class PreferencesStore;
class PromptManager;
class ResourceManager;
class SettingsManager;
class StandardStreams;
class StatisticsManager;
class StdioTransport;
class ToolRegistry;

// The one set of managers a process has, and the one way to reach them: the settings, the
// statistics, the activity log, the catalogues and the server over them, created in dependency
// order. The control socket, the tray, the dashboard and the sub-commands all go through it.
// The program makes one over the running system's services; tests make their own over a
// temporary store, a fake clock, fake streams and whichever fakes they need.
class ServerComponents {
public:
    // Every service is required (std::invalid_argument otherwise).
    ServerComponents(PreferencesStore& store, const Clock& clock, StandardStreams& streams, PlatformServices services);
    ~ServerComponents();

    ServerComponents(const ServerComponents&) = delete;
    ServerComponents& operator=(const ServerComponents&) = delete;

    // What the end of the process does: stops the server (adding the session's uptime), saves
    // the statistics and writes the history's last calls.
    void shutdown();

    // Keeps every tool call in the history database at `databasePath` from now on.
    void keepHistory(const QString& databasePath);
    // None until keepHistory.
    HistoryRecorder* history() { return m_history.get(); }

    MCPServer& server() { return *m_server; }
    const MCPServer& server() const { return *m_server; }
    SettingsManager& settings() { return *m_settings; }
    const SettingsManager& settings() const { return *m_settings; }
    StatisticsManager& statistics() { return *m_statistics; }
    const StatisticsManager& statistics() const { return *m_statistics; }
    ActivityLog& activityLog() { return *m_activityLog; }
    const ActivityLog& activityLog() const { return *m_activityLog; }
    ToolRegistry& tools() { return *m_tools; }
    const ToolRegistry& tools() const { return *m_tools; }
    ResourceManager& resources() { return *m_resources; }
    const ResourceManager& resources() const { return *m_resources; }
    PromptManager& prompts() { return *m_prompts; }
    const PromptManager& prompts() const { return *m_prompts; }
    // Asks before tools that change things run: through the client, and through whatever other
    // way the program gives it.
    ConfirmationGate& confirmationGate() { return *m_confirmationGate; }
    PreferencesStore& store() { return m_store; }
    const PreferencesStore& store() const { return m_store; }
    const Clock& clock() const { return m_clock; }
    const PlatformServices& services() const { return m_services; }
    // Where the assistant may work, as the settings (and the client's roots) say.
    FolderConfinement& confinement() { return *m_confinement; }
    const FolderConfinement& confinement() const { return *m_confinement; }
    // The client's channel, which tests bound and feed.
    StdioTransport& transport() { return *m_transport; }

private:
    PreferencesStore& m_store;
    const Clock& m_clock;
    std::shared_ptr<FolderConfinement> m_confinement;
    PlatformServices m_services;
    // Held by pointer so that this header needs none of theirs; destroyed in reverse order.
    std::unique_ptr<SettingsManager> m_settings;
    std::unique_ptr<StatisticsManager> m_statistics;
    std::unique_ptr<ToolRegistry> m_tools;
    std::unique_ptr<ActivityLog> m_activityLog;
    std::unique_ptr<ConfirmationGate> m_confirmationGate;
    std::unique_ptr<ResourceManager> m_resources;
    std::unique_ptr<PromptManager> m_prompts;
    std::unique_ptr<StdioTransport> m_transport;
    std::unique_ptr<MCPServer> m_server;
    std::unique_ptr<ClientConfirmationAsker> m_clientConfirmations;
    std::unique_ptr<HistoryRecorder> m_history;
};

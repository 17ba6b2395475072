#pragma once

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "platform/LinuxFileManager.h"
#include "server/ActivityLog.h"
#include "server/MCPServer.h"
#include "server/StdioTransport.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "tools/ToolRegistry.h"

#include <memory>

class Clock;
class SystemInformation;
class PreferencesStore;
class StandardStreams;
class Workspace;

// The one set of managers a process has: the settings, the statistics, the catalogues and the
// server over them, created in dependency order. The program makes one; tests make their own
// over a temporary store, a fake clock and fake streams.
class ServerComponents {
public:
    ServerComponents(PreferencesStore& store, const Clock& clock, StandardStreams& streams);
    ~ServerComponents();

    // What the end of the process does: stops the server (adding the session's uptime) and
    // saves the statistics.
    void shutdown();

    PreferencesStore& store;
    const Clock& clock;
    LinuxFileManager files;
    // One source of system facts for the report tool, the system resource and the prompts.
    std::shared_ptr<const SystemInformation> systemInformation;
    SettingsManager settings;
    StatisticsManager statistics;
    std::unique_ptr<Workspace> workspace;
    ToolRegistry tools;
    ActivityLog activityLog;
    ResourceManager resources;
    PromptManager prompts;
    StdioTransport transport;
    MCPServer server;
};

#include "server/ServerComponents.h"

#include "platform/LinuxWorkspace.h"
#include "platform/PreferencesStore.h"
#include "platform/SystemServices.h"

ServerComponents::ServerComponents(PreferencesStore& preferences, const Clock& systemClock, StandardStreams& streams)
    : store(preferences)
    , clock(systemClock)
    , systemInformation(SystemServices::systemInformation())
    , settings(preferences)
    , statistics(preferences, systemClock)
    , workspace(std::make_unique<LinuxWorkspace>(LinuxWorkspace::Configuration::fromEnvironment()))
    , activityLog(settings, systemClock)
    , resources(ResourceSources{&activityLog, &statistics, &settings, &tools, &systemClock, systemInformation, &files})
    , prompts(systemInformation, files)
    , transport(streams)
    , server(tools, resources, prompts, settings, statistics, activityLog, transport)
{
    resources.attachServer(&server);
    ToolEnvironment environment;
    environment.settings = &settings;
    environment.workspace = workspace.get();
    environment.files = &files;
    environment.systemInformation = systemInformation;
    // The system services left empty are the running system's, chosen by the registry.
    tools.registerDefaultTools(environment);
}

ServerComponents::~ServerComponents() = default;

void ServerComponents::shutdown()
{
    // Stopping ends a running session only, so a session already ended by a stop is not
    // counted twice; calling this again saves nothing new.
    server.stop();
    statistics.saveNow();
}

#include "tools/BuiltInTools.h"

#include "platform/processes/Log.h"
#include "state/SettingsManager.h"
#include "tools/ToolRegistry.h"
#include "tools/apps/ExecuteAppleScriptTool.h"
#include "tools/apps/LaunchAppTool.h"
#include "tools/apps/ListRunningAppsTool.h"
#include "tools/apps/QuitAppTool.h"
#include "tools/filesystem/CopyFileTool.h"
#include "tools/filesystem/CreateDirectoryTool.h"
#include "tools/filesystem/DeleteFileTool.h"
#include "tools/filesystem/ListDirectoryTool.h"
#include "tools/filesystem/MoveFileTool.h"
#include "tools/filesystem/ReadFileTool.h"
#include "tools/filesystem/SearchFilesTool.h"
#include "tools/filesystem/WriteFileTool.h"
#include "tools/system/CaptureScreenshotTool.h"
#include "tools/system/ExecuteCommandTool.h"
#include "tools/system/GetClipboardTool.h"
#include "tools/system/GetSystemInfoTool.h"
#include "tools/system/SendNotificationTool.h"
#include "tools/system/SetClipboardTool.h"

#include <stdexcept>

ZARNEL_LOGGING_CATEGORY(lcBuiltInTools, "BuiltInTools")

namespace BuiltInTools {

std::vector<std::shared_ptr<MCPToolProtocol>> create(const ToolEnvironment& environment)
{
    if (!environment.settings)
        throw std::invalid_argument("The built-in tools need the settings");
    environment.services.requireComplete("The built-in tools");
    const PlatformServices& services = environment.services;
    FileManager& files = *services.files;
    const Workspace& workspace = *services.workspace;
    const SettingsManager* settings = environment.settings;
    return {
        std::make_shared<ReadFileTool>(files),
        std::make_shared<WriteFileTool>(files),
        std::make_shared<ListDirectoryTool>(files),
        std::make_shared<CreateDirectoryTool>(files),
        std::make_shared<DeleteFileTool>(files),
        std::make_shared<MoveFileTool>(files),
        std::make_shared<CopyFileTool>(files),
        std::make_shared<SearchFilesTool>(files),
        std::make_shared<ExecuteCommandTool>(
            services.shellRunner, [settings] { return settings->commandTimeout(); }, environment.confinement),
        std::make_shared<GetClipboardTool>(services.clipboard),
        std::make_shared<SetClipboardTool>(services.clipboard),
        std::make_shared<CaptureScreenshotTool>(services.screenGrabber, environment.confinement),
        std::make_shared<GetSystemInfoTool>(services.systemInformation, environment.confinement),
        std::make_shared<SendNotificationTool>(services.notifications),
        std::make_shared<ListRunningAppsTool>(workspace),
        std::make_shared<LaunchAppTool>(workspace),
        std::make_shared<QuitAppTool>(workspace),
        std::make_shared<ExecuteAppleScriptTool>(),
    };
}

void registerAll(ToolRegistry& registry, const ToolEnvironment& environment)
{
    for (auto& tool : create(environment))
        registry.registerTool(std::move(tool));
    qCInfo(lcBuiltInTools, "Registered %ld tools", static_cast<long>(registry.count()));
}

} // namespace BuiltInTools

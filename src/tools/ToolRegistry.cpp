#include "tools/ToolRegistry.h"

#include "platform/LinuxFileManager.h"
#include "platform/Log.h"
#include "platform/SystemServices.h"
#include "state/SettingsManager.h"
#include "tools/BaseTool.h"
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

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcRegistry, "ToolRegistry")

void ToolRegistry::registerDefaultTools(const ToolEnvironment& environment)
{
    static LinuxFileManager machineFiles;
    FileManager& files = environment.files ? *environment.files : machineFiles;
    registerTool(std::make_shared<ReadFileTool>(files));
    registerTool(std::make_shared<WriteFileTool>(files));
    registerTool(std::make_shared<ListDirectoryTool>(files));
    registerTool(std::make_shared<CreateDirectoryTool>(files));
    registerTool(std::make_shared<DeleteFileTool>(files));
    registerTool(std::make_shared<MoveFileTool>(files));
    registerTool(std::make_shared<CopyFileTool>(files));
    registerTool(std::make_shared<SearchFilesTool>(files));
    const auto clipboard = environment.clipboard ? environment.clipboard : SystemServices::clipboard();
    SettingsManager* settings = environment.settings;
    registerTool(std::make_shared<ExecuteCommandTool>(
        environment.shellRunner ? environment.shellRunner : SystemServices::shellRunner(),
        [settings] { return settings ? settings->commandTimeout() : SettingsManager::kDefaultCommandTimeout; }));
    registerTool(std::make_shared<GetClipboardTool>(clipboard));
    registerTool(std::make_shared<SetClipboardTool>(clipboard));
    registerTool(std::make_shared<CaptureScreenshotTool>(
        environment.screenGrabber ? environment.screenGrabber : SystemServices::screenGrabber()));
    registerTool(std::make_shared<GetSystemInfoTool>(
        environment.systemInformation ? environment.systemInformation : SystemServices::systemInformation()));
    registerTool(std::make_shared<SendNotificationTool>(
        environment.notifications ? environment.notifications : SystemServices::notifications()));
    if (environment.workspace) {
        registerTool(std::make_shared<ListRunningAppsTool>(*environment.workspace));
        registerTool(std::make_shared<LaunchAppTool>(*environment.workspace));
        registerTool(std::make_shared<QuitAppTool>(*environment.workspace));
    }
    registerTool(std::make_shared<ExecuteAppleScriptTool>());
    qCInfo(lcRegistry, "Registered %ld tools", static_cast<long>(m_tools.size()));
}

void ToolRegistry::registerTool(std::shared_ptr<MCPToolProtocol> tool)
{
    const std::string name = tool->definition().name;
    m_tools[name] = std::move(tool);
    ++m_generation;
    qCDebug(lcRegistry, "Registered tool: %s", name.c_str());
}

std::vector<MCPTool> ToolRegistry::listTools() const
{
    std::vector<MCPTool> definitions;
    definitions.reserve(m_tools.size());
    for (const auto& [name, tool] : m_tools)
        definitions.push_back(tool->definition());
    std::sort(definitions.begin(), definitions.end(), [](const MCPTool& a, const MCPTool& b) { return a.name < b.name; });
    return definitions;
}

std::shared_ptr<MCPToolProtocol> ToolRegistry::tool(const std::string& name) const
{
    const auto it = m_tools.find(name);
    return it == m_tools.end() ? nullptr : it->second;
}

QCoro::Task<MCPToolCallResponse> ToolRegistry::executeTool(std::string name, Arguments arguments, CancellationToken cancellation)
{
    // Holding the tool by shared_ptr keeps it alive across the suspension.
    const auto found = tool(name);
    if (!found) {
        qCCritical(lcRegistry, "Tool not found: %s", name.c_str());
        co_return BaseTool::errorResult(QStringLiteral("Tool '%1' not found").arg(QString::fromStdString(name)));
    }
    qCInfo(lcRegistry, "Executing tool: %s", name.c_str());
    co_return co_await found->execute(std::move(arguments), std::move(cancellation));
}

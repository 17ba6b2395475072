#include "tools/ToolRegistry.h"

#include "platform/processes/Log.h"
#include "tools/BaseTool.h"

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcRegistry, "ToolRegistry")

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
        qCCritical(lcRegistry, "Tool not found: %s", Log::clip(name).c_str());
        co_return BaseTool::errorResult(QStringLiteral("Tool '%1' not found").arg(QString::fromStdString(name)));
    }
    qCInfo(lcRegistry, "Executing tool: %s", name.c_str());
    co_return co_await found->execute(std::move(arguments), std::move(cancellation));
}

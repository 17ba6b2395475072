#pragma once

#include "control/ActionResult.h"
#include "protocol/MCPTool.h"

#include <QCoroTask>
#include <QString>

#include <optional>
#include <vector>

class ToolRegistry;

// The actions on the tools: list them by category, describe one, run one with JSON arguments.
// They work on a registry of this process, the same tools a protocol client calls.
namespace ToolActions {

enum class ToolCategory { All, FileSystem, System, AppControl };
std::optional<ToolCategory> categoryFromName(const QString& name); // "all", "fileSystem", "system", "appControl"

bool isInCategory(const std::string& toolName, ToolCategory category);
// The category an entity shows: "File System", "App Control" or "System".
QString entityCategory(const std::string& toolName);

// tools: the registry's list, sorted by name.
ActionResult listTools(const std::vector<MCPTool>& tools, ToolCategory category);
ActionResult toolInfo(const std::vector<MCPTool>& tools, const QString& name);
QCoro::Task<ActionResult> executeTool(ToolRegistry& registry, QString name, QString argumentsJson);

} // namespace ToolActions

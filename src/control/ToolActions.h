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

// A tool kept for the clients that know it but unable to work on this system.
bool isUnavailableHere(const std::string& toolName);
inline const QString kUnavailableMark = QStringLiteral("not available on Linux");
// The tools as people see them listed: by name, those unavailable here last.
std::vector<MCPTool> inListingOrder(std::vector<MCPTool> tools);

// tools: the registry's list, sorted by name.
ActionResult listTools(const std::vector<MCPTool>& tools, ToolCategory category);
ActionResult toolInfo(const std::vector<MCPTool>& tools, const QString& name);

// A tool run for a person: the action's result (its dialog never says the action failed), how
// the run went, and what the tool returned as text (an image as its type and size).
struct ToolRun {
    enum class Outcome { Succeeded, ToolFailed, InvalidArguments, UnknownTool };
    Outcome outcome = Outcome::Succeeded;
    ActionResult result;
    QString content;
};
QCoro::Task<ToolRun> executeTool(ToolRegistry& registry, QString name, QString argumentsJson);

} // namespace ToolActions

#include "tools/BaseTool.h"

#include "platform/FileManager.h"
#include "platform/Log.h"

#include <algorithm>
#include <charconv>

ZARNEL_LOGGING_CATEGORY(lcConfinement, "FolderConfinement")

StringArgument BaseTool::getStringArgument(const Arguments& arguments, const std::string& key, bool required)
{
    const auto it = arguments.find(key);
    if (it != arguments.end() && it->second.is_string())
        return std::optional<QString>(QString::fromStdString(it->second.get_ref<const std::string&>()));
    if (required)
        return ToolError::missingArgument(QString::fromStdString(key));
    return std::optional<QString>();
}

bool BaseTool::getBoolArgument(const Arguments& arguments, const std::string& key, bool fallback)
{
    const auto it = arguments.find(key);
    if (it != arguments.end() && it->second.is_boolean())
        return it->second.get<bool>();
    return fallback;
}

std::optional<qint64> BaseTool::getIntArgument(const Arguments& arguments, const std::string& key, std::optional<qint64> fallback)
{
    const auto it = arguments.find(key);
    if (it == arguments.end())
        return fallback;
    if (it->second.is_number_integer())
        return it->second.get<qint64>();
    // Schemas that type a number as "string" get "10" from assistants: a decimal integer in a
    // string counts; anything else (" 10", "1e3", "0x10") does not.
    if (it->second.is_string()) {
        const std::string& text = it->second.get_ref<const std::string&>();
        const std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
        qint64 value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.size() > digits && error == std::errc() && end == text.data() + text.size()
            && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return value;
    }
    return fallback;
}

MCPToolCallResponse BaseTool::successResult(const QString& text)
{
    return MCPToolCallResponse{{MCPContent::text(text.toStdString())}, std::nullopt};
}

MCPToolCallResponse BaseTool::errorResult(const QString& message)
{
    return MCPToolCallResponse{{MCPContent::text(message.toStdString())}, true};
}

MCPToolCallResponse BaseTool::nulPathResult()
{
    return errorResult(FileError::nulInPath().description);
}

std::optional<MCPToolCallResponse> BaseTool::confinementRefusal(const FolderConfinement* confinement, const QString& path,
                                                                FolderConfinement::Access access)
{
    if (!confinement)
        return std::nullopt;
    const auto admitted = confinement->admit(FilePath(path), access);
    if (admitted.ok())
        return std::nullopt;
    qCWarning(lcConfinement, "%s", qUtf8Printable(admitted.error().description));
    return errorResult(admitted.error().description);
}

MCPTool BaseTool::makeDefinition(std::string name, std::string description, std::initializer_list<Property> properties,
                                 std::vector<std::string> required)
{
    MCPTool tool;
    tool.name = std::move(name);
    tool.description = std::move(description);
    tool.inputSchema.type = "object";
    tool.inputSchema.properties.emplace();
    for (const auto& property : properties)
        (*tool.inputSchema.properties)[property.name] =
            SchemaProperty{property.type, property.description, property.enumValues, std::nullopt};
    tool.inputSchema.required = std::move(required);
    tool.inputSchema.additionalProperties = false;
    return tool;
}

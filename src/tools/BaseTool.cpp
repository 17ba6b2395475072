#include "tools/BaseTool.h"

#include "platform/files/FileManager.h"
#include "platform/processes/Log.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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

std::optional<qint64> BaseTool::integerValue(const Json& value)
{
    if (value.is_number_integer())
        return value.get<qint64>();
    if (value.is_number_float()) {
        // 2^63 is the first double beyond qint64; every double below it in magnitude converts.
        const double number = value.get<double>();
        constexpr double kLimit = 9223372036854775808.0;
        if (std::isfinite(number) && std::trunc(number) == number && number >= -kLimit && number < kLimit)
            return static_cast<qint64>(number);
        return std::nullopt;
    }
    // A decimal integer in a string counts; anything else (" 10", "1e3", "0x10", "") does not.
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
        qint64 result = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
        if (text.size() > sign && error == std::errc() && end == text.data() + text.size()
            && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(sign), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return result;
    }
    return std::nullopt;
}

bool BaseTool::getBoolArgument(const Arguments& arguments, const std::string& key, bool fallback)
{
    const auto it = arguments.find(key);
    if (it == arguments.end())
        return fallback;
    if (it->second.is_boolean())
        return it->second.get<bool>();
    if (it->second.is_string()) {
        const std::string& text = it->second.get_ref<const std::string&>();
        if (text == "true" || text == "false")
            return text == "true";
    }
    return fallback;
}

std::optional<qint64> BaseTool::getIntArgument(const Arguments& arguments, const std::string& key, std::optional<qint64> fallback)
{
    const auto it = arguments.find(key);
    if (it == arguments.end())
        return fallback;
    if (const auto value = integerValue(it->second))
        return value;
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
            SchemaProperty{property.type, property.description, property.enumValues, std::nullopt, property.minimum};
    tool.inputSchema.required = std::move(required);
    tool.inputSchema.additionalProperties = false;
    return tool;
}

#include "control/ToolActions.h"

#include <QStringList>

#include "protocol/JsonParser.h"
#include "state/CountText.h"
#include "state/RandomUuid.h"
#include "tools/ToolRegistry.h"

#include <QUuid>

#include <array>
#include <string_view>

namespace ToolActions {

namespace {

bool containsAny(const std::string& name, std::initializer_list<std::string_view> parts)
{
    for (const std::string_view part : parts) {
        if (name.find(part) != std::string::npos)
            return true;
    }
    return false;
}

bool isFileSystem(const std::string& name)
{
    return containsAny(name, {"file", "directory"});
}

bool isAppControl(const std::string& name)
{
    return containsAny(name, {"app", "applescript"});
}

QString dialogName(ToolCategory category)
{
    switch (category) {
    case ToolCategory::All: return QStringLiteral("All");
    case ToolCategory::FileSystem: return QStringLiteral("File System");
    case ToolCategory::System: return QStringLiteral("System");
    case ToolCategory::AppControl: return QStringLiteral("App Control");
    }
    return {};
}

} // namespace

std::optional<ToolCategory> categoryFromName(const QString& name)
{
    if (name == QLatin1String("all"))
        return ToolCategory::All;
    if (name == QLatin1String("fileSystem"))
        return ToolCategory::FileSystem;
    if (name == QLatin1String("system"))
        return ToolCategory::System;
    if (name == QLatin1String("appControl"))
        return ToolCategory::AppControl;
    return std::nullopt;
}

bool isInCategory(const std::string& name, ToolCategory category)
{
    switch (category) {
    case ToolCategory::All: return true;
    case ToolCategory::FileSystem: return isFileSystem(name);
    case ToolCategory::System: return containsAny(name, {"command", "clipboard", "screenshot", "system", "notification"});
    case ToolCategory::AppControl: return isAppControl(name);
    }
    return false;
}

QString entityCategory(const std::string& name)
{
    if (isFileSystem(name))
        return QStringLiteral("File System");
    if (isAppControl(name))
        return QStringLiteral("App Control");
    return QStringLiteral("System");
}

bool isUnavailableHere(const std::string& toolName)
{
    return toolName == "execute_applescript";
}

std::vector<MCPTool> inListingOrder(std::vector<MCPTool> tools)
{
    std::stable_partition(tools.begin(), tools.end(), [](const MCPTool& tool) { return !isUnavailableHere(tool.name); });
    return tools;
}

ActionResult listTools(const std::vector<MCPTool>& tools, ToolCategory category)
{
    ActionResult result;
    result.value = Json::array();
    for (const MCPTool& tool : tools) {
        if (!isInCategory(tool.name, category))
            continue;
        result.value.push_back(Json{{"id", RandomUuid::create().toString(QUuid::WithoutBraces).toUpper().toStdString()},
                                    {"name", tool.name},
                                    {"description", tool.description},
                                    {"category", entityCategory(tool.name).toStdString()}});
    }
    result.dialog = QStringLiteral("Found %1 in %2 category")
                        .arg(countText(static_cast<qint64>(result.value.size()), QStringLiteral("tool"), QStringLiteral("tools")),
                             dialogName(category));
    return result;
}

ActionResult toolInfo(const std::vector<MCPTool>& tools, const QString& name)
{
    ActionResult result;
    const std::string wanted = name.toStdString();
    const auto tool = std::find_if(tools.cbegin(), tools.cend(), [&](const MCPTool& t) { return t.name == wanted; });
    if (tool == tools.cend()) {
        result.dialog = QStringLiteral("Tool '%1' not found").arg(name);
        return result;
    }
    QStringList lines{QStringLiteral("Tool: ") + name, QString(), QString::fromStdString(tool->description)};
    const auto& properties = tool->inputSchema.properties;
    if (properties && !properties->empty()) {
        lines << QString() << QStringLiteral("Parameters:");
        const std::vector<std::string> required = tool->inputSchema.required.value_or(std::vector<std::string>{});
        // A std::map: already in ascending order of name.
        for (const auto& [property, schema] : *properties) {
            QString line = QStringLiteral("• %1 (%2)").arg(QString::fromStdString(property), QString::fromStdString(schema.type));
            if (std::find(required.cbegin(), required.cend(), property) != required.cend())
                line += QStringLiteral(" (required)");
            if (schema.description)
                line += QStringLiteral(": ") + QString::fromStdString(*schema.description);
            lines << line;
        }
    }
    result.dialog = lines.join(QLatin1Char('\n'));
    return result;
}

QCoro::Task<ToolRun> executeTool(ToolRegistry& registry, QString name, QString argumentsJson)
{
    ToolRun run;
    const QByteArray utf8 = argumentsJson.toUtf8();
    const auto parsed = JsonParser::parse(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    if (!parsed || !parsed->is_object()) {
        run.outcome = ToolRun::Outcome::InvalidArguments;
        run.result.dialog = QStringLiteral("Invalid JSON arguments");
        run.result.value = "";
        co_return run;
    }
    if (!registry.tool(name.toStdString()))
        run.outcome = ToolRun::Outcome::UnknownTool;
    Arguments arguments = parsed->get<Arguments>();
    QCoro::Task<MCPToolCallResponse> running = registry.executeTool(name.toStdString(), std::move(arguments));
    const MCPToolCallResponse response = co_await running;
    std::string text;
    QStringList shown;
    for (const MCPContent& item : response.content) {
        if (const auto* itemText = item.asText()) {
            text += itemText->text + '\n';
            shown.append(QString::fromStdString(itemText->text));
        } else if (const auto* image = item.asImage()) {
            const qsizetype bytes = QByteArray::fromBase64(QByteArray::fromStdString(image->data)).size();
            shown.append(QStringLiteral("[%1 image, %2 bytes]").arg(QString::fromStdString(image->mimeType)).arg(bytes));
        }
    }
    const QString resultText = QString::fromStdString(text);
    const bool failed = response.isError.value_or(false);
    if (failed && run.outcome == ToolRun::Outcome::Succeeded)
        run.outcome = ToolRun::Outcome::ToolFailed;
    run.content = shown.join(QLatin1Char('\n'));
    run.result.value = text;
    run.result.dialog =
        failed ? QStringLiteral("Tool '%1' failed: ").arg(name) + resultText : QStringLiteral("Tool '%1' executed successfully").arg(name);
    co_return run;
}

} // namespace ToolActions

#include "app/LocalCommands.h"

#include "app/CommandOutput.h"
#include "app/Launch.h"
#include "app/SubCommands.h"
#include "control/ControlClient.h"
#include "control/ServerComponents.h"
#include "control/SettingValues.h"
#include "control/ToolActions.h"
#include "platform/SystemServices.h"
#include "platform/desktop/XdgAutostartEntry.h"
#include "platform/processes/Clock.h"
#include "platform/processes/PosixStandardStreams.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "protocol/JsonWriter.h"
#include "state/LaunchAtLoginSync.h"
#include "state/SettingsManager.h"
#include "tools/ToolRegistry.h"

using CommandLine::Invocation;

namespace LocalCommands {

namespace {

// The managers a protocol client's tool calls run against, without a server running.
struct LocalTools {
    QSettingsPreferencesStore store;
    SystemClock clock;
    PosixStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
};

QString valueText(const Json& value)
{
    if (value.is_array()) {
        QStringList lines;
        for (const Json& each : value)
            lines.append(valueText(each));
        return lines.join(QLatin1Char('\n'));
    }
    return value.is_string() ? QString::fromStdString(value.get<std::string>()) : QString::fromStdString(JsonWriter::compact(value));
}

} // namespace

QCoro::Task<int> tools(const Invocation& invocation, CommandOutput& out)
{
    const QString name = invocation.value(QStringLiteral("category"), QStringLiteral("all"));
    const auto category = ToolActions::categoryFromName(name);
    if (!category)
        co_return out.usageError(QStringLiteral("unknown category '%1' (all, fileSystem, system or appControl)").arg(name));
    LocalTools local;
    const std::vector<MCPTool> listed = ToolActions::inListingOrder(local.components.tools().listTools());
    ActionResult result = ToolActions::listTools(listed, *category);
    // A notification holds a few lines: it gets the count of each kind, a terminal the names.
    if (*category == ToolActions::ToolCategory::All) {
        const auto count = [&](ToolActions::ToolCategory kind) {
            return std::count_if(listed.begin(), listed.end(),
                                 [&](const MCPTool& tool) { return ToolActions::isInCategory(tool.name, kind); });
        };
        result.notification = QStringLiteral("%1 tools: %2 file system, %3 system, %4 app control")
                                  .arg(listed.size())
                                  .arg(count(ToolActions::ToolCategory::FileSystem))
                                  .arg(count(ToolActions::ToolCategory::System))
                                  .arg(count(ToolActions::ToolCategory::AppControl));
    }
    if (!out.json()) {
        for (const Json& tool : result.value)
            result.dialog += QStringLiteral("\n  %1 - %2%3")
                                 .arg(valueText(tool["name"]), valueText(tool["description"]),
                                      ToolActions::isUnavailableHere(tool["name"].get<std::string>())
                                          ? QStringLiteral(" (%1)").arg(ToolActions::kUnavailableMark)
                                          : QString());
    }
    co_return out.show(result);
}

QCoro::Task<int> toolInfo(const Invocation& invocation, CommandOutput& out)
{
    LocalTools local;
    const QString name = invocation.arguments.first();
    if (!local.components.tools().tool(name.toStdString()))
        co_return out.fail(QStringLiteral("Tool '%1' not found").arg(name), SubCommands::kUsageError);
    co_return out.show(ToolActions::toolInfo(local.components.tools().listTools(), name));
}

// A terminal gets the dialog line and then what the tool returned; the status says whether the
// tool did what was asked.
QCoro::Task<int> exec(const Invocation& invocation, CommandOutput& out)
{
    LocalTools local;
    const QString name = invocation.arguments.at(0);
    QCoro::Task<ToolActions::ToolRun> running =
        ToolActions::executeTool(local.components.tools(), name, invocation.arguments.value(1, QStringLiteral("{}")));
    ToolActions::ToolRun run = co_await running;
    using Outcome = ToolActions::ToolRun::Outcome;
    switch (run.outcome) {
    case Outcome::InvalidArguments:
        co_return out.usageError(QStringLiteral("the arguments must be a JSON object, such as '{\"path\":\"/etc/hostname\"}'"));
    case Outcome::UnknownTool: co_return out.fail(QStringLiteral("Tool '%1' not found").arg(name), SubCommands::kUsageError);
    case Outcome::ToolFailed:
        if (out.json()) {
            out.show(run.result);
            co_return SubCommands::kFailed;
        }
        co_return out.fail(QStringLiteral("Tool '%1' failed: %2").arg(name, run.content), SubCommands::kFailed);
    case Outcome::Succeeded: break;
    }
    if (!out.json() && !run.content.isEmpty())
        run.result.dialog += QLatin1Char('\n') + run.content;
    co_return out.show(run.result);
}

QCoro::Task<int> settings(const Invocation& invocation, CommandOutput& out)
{
    const QStringList& arguments = invocation.arguments;
    const QString verb = arguments.first();
    const qsizetype expected = verb == QLatin1String("list") ? 1 : verb == QLatin1String("get") ? 2 : 3;
    const bool editsList = verb == QLatin1String("add") || verb == QLatin1String("remove");
    if (verb != QLatin1String("list") && verb != QLatin1String("get") && verb != QLatin1String("set") && !editsList)
        co_return out.usageError(QStringLiteral("unknown settings action '%1' (list, get, set, add or remove)").arg(verb));
    if (arguments.size() != expected)
        co_return out.usageError(QStringLiteral("'settings %1' takes %2 argument(s)").arg(verb).arg(expected - 1));

    QSettingsPreferencesStore store;
    SettingsManager manager(store);
    ActionResult result;
    if (verb == QLatin1String("list")) {
        result.value = Json::object();
        QStringList lines;
        for (const QString& key : SettingValues::keys()) {
            const Json value = *SettingValues::read(manager, key);
            result.value[key.toStdString()] = value;
            lines.append(key + QStringLiteral(" = ") + valueText(value));
        }
        result.dialog = lines.join(QLatin1Char('\n'));
        co_return out.show(result);
    }
    const QString key = arguments.at(1);
    if (!SettingValues::read(manager, key))
        co_return out.usageError(std::get<QString>(SettingValues::check(key, Json())));
    if (verb == QLatin1String("get")) {
        result.value = *SettingValues::read(manager, key);
        result.dialog = valueText(result.value);
        co_return out.show(result);
    }
    if (editsList && !SettingValues::isFolderList(key))
        co_return out.usageError(QStringLiteral("'settings %1' takes a list of folders (allowedFolders or readOnlyFolders)").arg(verb));
    const SettingValues::Checked checked = editsList ? SettingValues::folderFromArgument(arguments.at(2), verb == QLatin1String("add"))
                                                     : SettingValues::parse(key, arguments.at(2));
    if (const QString* problem = std::get_if<QString>(&checked))
        co_return out.usageError(*problem);
    Json value = std::get<Json>(checked);
    if (editsList) {
        Json folders = *SettingValues::read(manager, key);
        const auto at = std::find(folders.begin(), folders.end(), value);
        if (verb == QLatin1String("add") && at == folders.end())
            folders.push_back(value);
        else if (verb == QLatin1String("remove") && at != folders.end())
            folders.erase(at);
        value = folders;
    }
    SettingValues::assign(manager, key, value);
    if (!store.sync())
        co_return out.fail(QStringLiteral("%1 is not stored: %2").arg(key, store.writeProblem()), SubCommands::kFailed);
    if (key == QLatin1String("launchAtLogin")) {
        // Made to agree now: no zarnel may run before the next login to do it.
        XdgAutostartEntry autostart(XdgAutostartEntry::userConfigHome(), &Launch::desktopInstanceCommand);
        if (!LaunchAtLoginSync::bringInLine(manager, autostart))
            co_return out.fail(QStringLiteral("launchAtLogin is stored, but %1 could not be made to agree (it is not ours, or cannot be "
                                              "written)")
                                   .arg(autostart.location()),
                               SubCommands::kFailed);
    }
    // Running processes take it now rather than at their next start.
    QCoro::Task<QList<InstanceReply>> pushing =
        askEveryInstance(ControlFolder(), "set-setting", Json{{"key", key.toStdString()}, {"value", value}});
    const QList<InstanceReply> pushed = co_await pushing;
    for (const InstanceReply& each : pushed) {
        if (!each.reply.ok)
            co_return out.fail(QStringLiteral("%1 is stored, but process %2 did not take it: %3")
                                   .arg(key)
                                   .arg(each.pid)
                                   .arg(QString::fromStdString(each.reply.message)),
                               SubCommands::kFailed);
    }
    result.value = value;
    result.dialog = QStringLiteral("%1 = %2").arg(key, valueText(value));
    co_return out.show(result);
}

} // namespace LocalCommands

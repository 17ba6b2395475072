#include "app/SubCommands.h"

#include "app/CommandOutput.h"
#include "app/HistoryCommand.h"
#include "app/Launch.h"
#include "app/LocalCommands.h"
#include "control/ControlClient.h"
#include "control/NextSignal.h"
#include "control/RunningInstances.h"
#include "control/ServerActions.h"
#include "control/ServerState.h"
#include "platform/SystemServices.h"
#include "platform/processes/Clock.h"
#include "platform/processes/DetachedLauncher.h"
#include "platform/processes/Log.h"
#include "platform/session/DisplayEnvironment.h"
#include "platform/session/SessionEnvironment.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "protocol/JsonWriter.h"
#include "state/HistoryStore.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <functional>

using CommandLine::Invocation;
using namespace ServerActions;

namespace SubCommands {

namespace {

// What every process answered; processes that did not answer in time are left out.
QCoro::Task<QList<InstanceReply>> askEvery(std::string command, Json args = Json::object())
{
    QCoro::Task<QList<InstanceReply>> asked = askEveryInstance(ControlFolder(), std::move(command), std::move(args));
    QList<InstanceReply> replies = co_await asked;
    replies.erase(std::remove_if(replies.begin(), replies.end(), [](const InstanceReply& r) { return !r.reply.ok; }), replies.end());
    co_return replies;
}

// Every process's status, after each saved what it had not saved yet, so that the shared
// statistics store holds Zarnel's totals.
QCoro::Task<QList<InstanceReply>> statuses()
{
    QCoro::Task<QList<InstanceReply>> asked = askEvery("status", Json{{"saveStatistics", true}});
    QList<InstanceReply> replies = co_await asked;
    co_return replies;
}

bool anyRunning(const QList<InstanceReply>& statuses)
{
    return std::any_of(statuses.cbegin(), statuses.cend(), [](const InstanceReply& r) { return r.reply.result.value("running", false); });
}

qint64 connections(const QList<InstanceReply>& statuses)
{
    qint64 total = 0;
    for (const InstanceReply& each : statuses)
        total += each.reply.result.value("connections", qint64(0));
    return total;
}

// The shared statistics store as it is now.
struct StoredStatistics {
    QSettingsPreferencesStore store;
    SystemClock clock;
    StatisticsManager statistics{store, clock};
};

QCoro::Task<int> server(const Invocation& invocation, CommandOutput& out)
{
    const QString name = invocation.arguments.value(0, QStringLiteral("toggle"));
    const auto action = serverActionFromName(name);
    if (!action)
        co_return out.usageError(QStringLiteral("unknown server action '%1' (start, stop or toggle)").arg(name));
    QCoro::Task<QList<InstanceReply>> asked = askEvery("status");
    const QList<InstanceReply> found = co_await asked;
    // The person's choice is kept before any process is told, so that one starting meanwhile
    // reads it.
    ServerState state;
    ActionResult result;
    if (found.isEmpty()) {
        QSettingsPreferencesStore store;
        const SettingsManager settings(store);
        const LaterDecision later =
            chooseForLaterProcesses(*action, ServerState::startsAtLaunch(state.chosen(), settings.autoStartServer()));
        if (!state.choose(later.start))
            co_return out.fail(QStringLiteral("cannot keep the server's state: ") + state.problem(), kFailed);
        result.dialog = later.dialog;
        co_return out.show(result);
    }
    const auto running =
        std::count_if(found.cbegin(), found.cend(), [](const InstanceReply& r) { return r.reply.result.value("running", false); });
    const ToggleDecision decision = toggleServer(*action, running, found.size() - running);
    if (!state.choose(decision.setRunning.value_or(*action == ServerAction::Start)))
        out.fail(QStringLiteral("the processes that start later will not follow: ") + state.problem(), kFailed);
    if (decision.setRunning) {
        const std::string wanted = *decision.setRunning ? "start" : "stop";
        QCoro::Task<QList<InstanceReply>> applying = askEveryInstance(ControlFolder(), "server", Json{{"action", wanted}});
        const QList<InstanceReply> applied = co_await applying;
        for (const InstanceReply& each : applied) {
            if (!each.reply.ok)
                co_return out.fail(QStringLiteral("process %1: %2").arg(each.pid).arg(QString::fromStdString(each.reply.message)), kFailed);
        }
    }
    result.dialog = decision.dialog;
    co_return out.show(result);
}

QCoro::Task<int> status(const Invocation&, CommandOutput& out)
{
    QCoro::Task<QList<InstanceReply>> asked = statuses();
    const QList<InstanceReply> found = co_await asked;
    StoredStatistics stored;
    StatusFigures figures{
        anyRunning(found), connections(found), stored.statistics.totalRequests(), stored.statistics.totalToolCalls(), {}, {}};
    for (const InstanceReply& each : found) {
        if (each.reply.result.value("waiting", false))
            figures.waitingClients << QString::fromStdString(each.reply.result.value("clientName", std::string()));
    }
    // Said only once a person has set folders, so that the status reads as before otherwise.
    const SettingsManager settings(stored.store);
    if (!settings.allowedFolders().isEmpty() || !settings.readOnlyFolders().isEmpty() || !settings.commandNetwork())
        figures.confinement = confinementSummary(settings.allowedFolders(), settings.readOnlyFolders(), settings.commandNetwork());
    co_return out.show(serverStatus(figures));
}

QCoro::Task<int> stats(const Invocation&, CommandOutput& out)
{
    QCoro::Task<QList<InstanceReply>> asked = statuses();
    const QList<InstanceReply> saved = co_await asked;
    Q_UNUSED(saved);
    StoredStatistics stored;
    const StatisticsManager& s = stored.statistics;
    co_return out.show(
        statistics(StatisticsFigures{s.totalRequests(), s.totalToolCalls(), s.totalErrors(), s.successRate(), s.averageResponseTime()}));
}

QCoro::Task<int> uptimeCommand(const Invocation&, CommandOutput& out)
{
    QCoro::Task<QList<InstanceReply>> asked = statuses();
    const QList<InstanceReply> saved = co_await asked;
    Q_UNUSED(saved);
    StoredStatistics stored;
    co_return out.show(uptime(stored.statistics.totalUptime()));
}

QCoro::Task<int> connectionsCommand(const Invocation&, CommandOutput& out)
{
    QCoro::Task<QList<InstanceReply>> asked = askEvery("status");
    const QList<InstanceReply> found = co_await asked;
    co_return out.show(connectionCount(connections(found)));
}

// The shortcut actions ask "Please confirm to ..."; on a command line the answer is a flag.
ActionResult namingTheFlag(ActionResult result)
{
    if (result.failure)
        *result.failure += QStringLiteral(" (--confirm)");
    return result;
}

QCoro::Task<int> resetStats(const Invocation& invocation, CommandOutput& out)
{
    const bool confirmed = invocation.isSet(QStringLiteral("confirm"));
    if (confirmed) {
        StoredStatistics stored;
        QCoro::Task<> resetting = resetEveryStatistics(ControlFolder(), stored.statistics);
        co_await resetting;
    }
    co_return out.show(namingTheFlag(resetStatistics(confirmed)));
}

QCoro::Task<int> clearLog(const Invocation& invocation, CommandOutput& out)
{
    const bool confirmed = invocation.isSet(QStringLiteral("confirm"));
    qint64 cleared = 0;
    if (confirmed) {
        QCoro::Task<QList<InstanceReply>> asked = askEvery("clear-log");
        const QList<InstanceReply> replies = co_await asked;
        for (const InstanceReply& each : replies)
            cleared += each.reply.result.value("count", qint64(0));
    }
    co_return out.show(namingTheFlag(clearActivityLog(confirmed, cleared)));
}

QCoro::Task<int> exportStats(const Invocation&, CommandOutput& out)
{
    QCoro::Task<QList<InstanceReply>> asked = statuses();
    const QList<InstanceReply> saved = co_await asked;
    Q_UNUSED(saved);
    StoredStatistics stored;
    co_return out.show(exportStatistics(stored.statistics.exportStatistics(), stored.statistics.totalRequests(),
                                        stored.statistics.totalToolCalls(), stored.clock.now()));
}

// Every process's log merged, newest first, each entry with its process; or why a log could not
// be read whole.
struct MergedLog {
    QList<InstanceLogEntry> entries;
    QString failure;
};

QCoro::Task<MergedLog> mergedLog()
{
    QCoro::Task<QList<InstanceReply>> askedStatus = askEvery("status");
    const QList<InstanceReply> found = co_await askedStatus;
    QCoro::Task<QList<InstanceReply>> askedLog = askEveryInstanceForLog(ControlFolder());
    const QList<InstanceReply> logs = co_await askedLog;
    MergedLog merged;
    for (const InstanceReply& each : logs) {
        // A process that is gone or stuck is left out, as everywhere; a log that came but could
        // not be read must not pass for an empty one.
        if (each.reply.code == ControlProtocol::Code::TooLong) {
            merged.failure = QStringLiteral("process %1: %2").arg(each.pid).arg(QString::fromStdString(each.reply.message));
            co_return merged;
        }
        if (!each.reply.ok)
            continue;
        QString client;
        for (const InstanceReply& s : found) {
            if (s.pid == each.pid)
                client = QString::fromStdString(s.reply.result.value("clientName", std::string()));
        }
        for (const Json& value : each.reply.result.value("entries", Json::array())) {
            if (auto entry = ControlProtocol::decodeEntry(value))
                merged.entries.append(InstanceLogEntry{*entry, each.pid, client});
        }
    }
    std::stable_sort(merged.entries.begin(), merged.entries.end(),
                     [](const InstanceLogEntry& a, const InstanceLogEntry& b) { return a.entry.timestamp > b.entry.timestamp; });
    co_return merged;
}

QCoro::Task<int> exportLog(const Invocation& invocation, CommandOutput& out)
{
    const QString name = invocation.value(QStringLiteral("format"), QStringLiteral("text"));
    const auto format = exportFormatFromName(name);
    if (!format)
        co_return out.usageError(QStringLiteral("unknown format '%1' (text or json)").arg(name));
    QCoro::Task<MergedLog> asked = mergedLog();
    const MergedLog merged = co_await asked;
    if (!merged.failure.isEmpty())
        co_return out.fail(merged.failure, kFailed);
    QList<ActivityLogEntry> entries;
    for (const InstanceLogEntry& each : merged.entries)
        entries.append(each.entry);
    co_return out.show(exportActivityLog(*format, entries, SystemClock().now()));
}

// "2026-12-07 03:10:00 [info] Claude Desktop (4711): Server started", in local time.
QString logLine(const InstanceLogEntry& each)
{
    const QString client = each.clientName.isEmpty() ? QStringLiteral("no client yet") : each.clientName;
    return QStringLiteral("%1 [%2] %3 (%4): %5")
        .arg(each.entry.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), logTypeName(each.entry.type), client)
        .arg(each.pid)
        .arg(each.entry.message);
}

Json logJson(const InstanceLogEntry& each)
{
    Json value = ControlProtocol::encodeEntry(each.entry);
    value["pid"] = each.pid;
    value["clientName"] = each.clientName.toStdString();
    return value;
}

// The log as it grows. Every process is subscribed to before its log is read, so nothing logged
// in between is lost; what has been shown is known by its entry's id, so nothing shows twice.
QCoro::Task<int> follow(CommandOutput& out)
{
    RunningInstances running;
    QSet<QUuid> shown;
    const auto print = [&](const InstanceLogEntry& each) {
        if (shown.contains(each.entry.id))
            return;
        shown.insert(each.entry.id);
        out.printLine(out.json() ? QString::fromStdString(JsonWriter::compact(logJson(each))) : logLine(each));
    };
    // The processes there now, merged by time, oldest first as a log reads. Scans come every
    // few hundred milliseconds and on every change of the folder: two may come in one pass.
    co_await NextSignal(&running, &RunningInstances::scanned);
    const QList<InstanceLogEntry> merged = running.mergedLog();
    for (auto it = merged.crbegin(); it != merged.crend(); ++it)
        print(*it);
    QObject::connect(&running, &RunningInstances::entryAdded, &running, print);
    // A process found later: what it logged before it was found, then what it logs next.
    QObject::connect(&running, &RunningInstances::instanceAdded, &running, [&](qint64 pid, const QList<ActivityLogEntry>& logSoFar) {
        QString client;
        for (const InstanceInfo& info : running.instances()) {
            if (info.pid == pid)
                client = info.clientName;
        }
        QList<ActivityLogEntry> oldestFirst(logSoFar.crbegin(), logSoFar.crend());
        std::stable_sort(oldestFirst.begin(), oldestFirst.end(),
                         [](const ActivityLogEntry& a, const ActivityLogEntry& b) { return a.timestamp < b.timestamp; });
        for (const ActivityLogEntry& entry : std::as_const(oldestFirst))
            print(InstanceLogEntry{entry, pid, client});
    });
    // Runs until interrupted; RunningInstances finds processes that start later by itself.
    QEventLoop loop;
    loop.exec();
    co_return kSuccess;
}

QCoro::Task<int> log(const Invocation& invocation, CommandOutput& out)
{
    if (invocation.isSet(QStringLiteral("follow"))) {
        QCoro::Task<int> following = follow(out);
        const int status = co_await following;
        co_return status;
    }
    QCoro::Task<MergedLog> asked = mergedLog();
    const MergedLog mergedOrFailure = co_await asked;
    if (!mergedOrFailure.failure.isEmpty())
        co_return out.fail(mergedOrFailure.failure, kFailed);
    const QList<InstanceLogEntry>& merged = mergedOrFailure.entries;
    // Oldest first, as a log reads.
    if (out.json()) {
        ActionResult result;
        result.value = Json::array();
        QStringList lines;
        for (const InstanceLogEntry& each : merged) {
            result.value.push_back(logJson(each));
            lines.prepend(logLine(each));
        }
        result.dialog = lines.join(QLatin1Char('\n'));
        co_return out.show(result);
    }
    for (auto it = merged.crbegin(); it != merged.crend(); ++it)
        out.printLine(logLine(*it));
    co_return kSuccess;
}

QCoro::Task<int> dashboard(const Invocation&, CommandOutput& out)
{
    QCoro::Task<QList<InstanceReply>> asked = askEvery("show-dashboard");
    const QList<InstanceReply> shown = co_await asked;
    ActionResult result;
    if (!shown.isEmpty()) {
        result.dialog = QStringLiteral("Opening Zarnel dashboard");
        co_return out.show(result);
    }
    // Nothing runs that could show it: a desktop instance is started with its window shown, as a
    // launch from the applications menu would, in the session this command was started from.
    SessionEnvironment().adoptIntoProcess();
    if (!DisplayEnvironment::hasDisplaySession())
        co_return out.fail(QStringLiteral("No display to show the Zarnel dashboard on"), kFailed);
    const DetachedLaunch launch = DetachedLauncher::start({QCoreApplication::applicationFilePath()}, {}, std::chrono::milliseconds(500));
    if (!launch.succeeded())
        co_return out.fail(QStringLiteral("Cannot start Zarnel: ") + launch.error, kFailed);
    result.dialog = QStringLiteral("Starting Zarnel with its dashboard");
    co_return out.show(result);
}

QCoro::Task<int> history(const Invocation& invocation, CommandOutput& out)
{
    QSettingsPreferencesStore store;
    co_return HistoryCommand::run(invocation, out, SystemClock().now(), HistoryStore::defaultPath(), SettingsManager(store).historyDays());
}

using Command = std::function<QCoro::Task<int>(const Invocation&, CommandOutput&)>;

const QMap<QString, Command>& serverCommands()
{
    static const QMap<QString, Command> table{
        {QStringLiteral("server"), server},
        {QStringLiteral("status"), status},
        {QStringLiteral("stats"), stats},
        {QStringLiteral("uptime"), uptimeCommand},
        {QStringLiteral("connections"), connectionsCommand},
        {QStringLiteral("reset-stats"), resetStats},
        {QStringLiteral("clear-log"), clearLog},
        {QStringLiteral("export-stats"), exportStats},
        {QStringLiteral("export-log"), exportLog},
        {QStringLiteral("log"), log},
        {QStringLiteral("history"), history},
        {QStringLiteral("dashboard"), dashboard},
        {QStringLiteral("settings"), LocalCommands::settings},
        {QStringLiteral("tools"), LocalCommands::tools},
        {QStringLiteral("tool-info"), LocalCommands::toolInfo},
        {QStringLiteral("exec"), LocalCommands::exec},
    };
    return table;
}

} // namespace

int run(int argc, char** argv, const Invocation& invocation)
{
    // A tool runs as it does for an MCP client's process: in the user's desktop session when
    // there is one, connected to its display (the clipboard and the screen need that), and
    // without it when the display cannot be reached. Every other command is a short-lived client
    // that needs no display.
    const bool exec = invocation.command == QLatin1String("exec");
    if (exec)
        SessionEnvironment().adoptIntoProcess();
    const std::unique_ptr<QCoreApplication> app =
        Launch::createApplication(argc, argv, exec && DisplayEnvironment::hasDisplaySession(), true);
    // A tool's failure is the command's own output; its diagnostics would say it twice.
    if (exec)
        Log::installQuietRules();
    else
        Log::installDefaultRules();
    // Only asked for when wanted: connecting to the session bus costs a start-up.
    const std::shared_ptr<NotificationService> notifications = invocation.notify ? SystemServices::notifications() : nullptr;
    CommandOutput out(invocation, notifications.get());
    const Command command = serverCommands().value(invocation.command);
    if (!command)
        return out.usageError(QStringLiteral("unknown command '%1'").arg(invocation.command));
    return QCoro::waitFor(command(invocation, out));
}

} // namespace SubCommands

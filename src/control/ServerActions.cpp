#include "control/ServerActions.h"

#include "platform/files/FolderConfinement.h"
#include "platform/processes/CommandSandbox.h"
#include "protocol/JsonWriter.h"
#include "state/ActivityLog.h"
#include "state/CountText.h"
#include "state/RandomUuid.h"

#include <QUuid>

#include <cmath>

namespace ServerActions {

namespace {

QString requestsText(qint64 count)
{
    return countText(count, QStringLiteral("request"), QStringLiteral("requests"));
}

QString toolCallsText(qint64 count)
{
    return countText(count, QStringLiteral("tool call"), QStringLiteral("tool calls"));
}

std::string newId()
{
    return RandomUuid::create().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace

QString percentText(double rate)
{
    return QString::asprintf("%.1f%%", rate * 100.0);
}

std::optional<ServerAction> serverActionFromName(const QString& name)
{
    if (name == QLatin1String("start"))
        return ServerAction::Start;
    if (name == QLatin1String("stop"))
        return ServerAction::Stop;
    if (name == QLatin1String("toggle"))
        return ServerAction::Toggle;
    return std::nullopt;
}

std::optional<ExportFormat> exportFormatFromName(const QString& name)
{
    if (name == QLatin1String("text"))
        return ExportFormat::Text;
    if (name == QLatin1String("json"))
        return ExportFormat::Json;
    return std::nullopt;
}

ToggleDecision toggleServer(ServerAction action, qsizetype runningProcesses, qsizetype stoppedProcesses)
{
    const bool running = runningProcesses > 0;
    switch (action) {
    case ServerAction::Start:
        if (running && stoppedProcesses > 0) {
            return {true,
                    QStringLiteral("Zarnel server started successfully in %1 stopped %2 (already running in %3)")
                        .arg(stoppedProcesses)
                        .arg(stoppedProcesses == 1 ? QStringLiteral("process") : QStringLiteral("processes"))
                        .arg(runningProcesses)};
        }
        if (running)
            return {std::nullopt, QStringLiteral("Zarnel server is already running")};
        return {true, QStringLiteral("Zarnel server started successfully")};
    case ServerAction::Stop:
        if (!running)
            return {std::nullopt, QStringLiteral("Zarnel server is not running")};
        return {false, QStringLiteral("Zarnel server stopped")};
    case ServerAction::Toggle:
        if (running)
            return {false, QStringLiteral("Zarnel server stopped")};
        return {true, QStringLiteral("Zarnel server started")};
    }
    return {};
}

LaterDecision chooseForLaterProcesses(ServerAction action, bool startsNow)
{
    const bool start = action == ServerAction::Start || (action == ServerAction::Toggle && !startsNow);
    return {start,
            start ? QStringLiteral("No Zarnel process is running: Zarnel will serve the clients that start it from now on")
                  : QStringLiteral("No Zarnel process is running: the clients that start Zarnel from now on will wait "
                                   "until it is started")};
}

ActionResult serverStatus(const StatusFigures& figures)
{
    ActionResult result;
    const QString totals = QStringLiteral("%1, %2").arg(requestsText(figures.totalRequests), toolCallsText(figures.totalToolCalls));
    const QString waiting = waitingText(figures.waitingClients);
    const QString state = figures.running
        ? QStringLiteral("Zarnel server is running with %1")
              .arg(countText(figures.connections, QStringLiteral("connection"), QStringLiteral("connections")))
        : QStringLiteral("Zarnel server is stopped");
    result.dialog = (waiting.isEmpty() ? state : state + QStringLiteral("; ") + waiting)
        + (figures.running ? QStringLiteral(". Total: %1.") : QStringLiteral(". Total statistics: %1.")).arg(totals);
    Json names = Json::array();
    for (const QString& name : figures.waitingClients)
        names.push_back(name.toStdString());
    result.value = Json{{"id", newId()},
                        {"isRunning", figures.running},
                        {"connectionCount", figures.connections},
                        {"waitingClients", std::move(names)},
                        {"totalRequests", figures.totalRequests},
                        {"totalToolCalls", figures.totalToolCalls}};
    if (!figures.confinement.isEmpty()) {
        result.dialog += QLatin1Char('\n') + figures.confinement;
        result.value["confinement"] = figures.confinement.toStdString();
    }
    return result;
}

QString waitingText(const QStringList& clientNames)
{
    if (clientNames.isEmpty())
        return {};
    QStringList named;
    for (const QString& name : clientNames) {
        if (!name.isEmpty())
            named << name;
    }
    const QString count = countText(clientNames.size(), QStringLiteral("client"), QStringLiteral("clients")) + QStringLiteral(" waiting");
    return named.isEmpty() ? count : QStringLiteral("%1 (%2)").arg(count, named.join(QStringLiteral(", ")));
}

QString confinementSummary(const QStringList& allowedFolders, const QStringList& readOnlyFolders, bool commandNetwork)
{
    FolderConfinement confinement;
    confinement.setRules(FolderRules{allowedFolders, readOnlyFolders, commandNetwork});
    const QString folders =
        allowedFolders.isEmpty() ? QStringLiteral("Not confined") : QStringLiteral("Confined to %1 folders").arg(allowedFolders.size());
    return folders + QStringLiteral("; commands: ") + CommandSandbox::statusText(confinement.effective());
}

ActionResult statistics(const StatisticsFigures& figures)
{
    ActionResult result;
    result.dialog =
        QStringList{
            QStringLiteral("Zarnel Statistics:"),
            QStringLiteral("• Requests: %1").arg(figures.totalRequests),
            QStringLiteral("• Tool Calls: %1").arg(figures.totalToolCalls),
            QStringLiteral("• Success Rate: ") + percentText(figures.successRate),
            QStringLiteral("• Avg Response: ") + QString::asprintf("%.2f", figures.averageResponseTime) + QLatin1Char('s'),
        }
            .join(QLatin1Char('\n'));
    result.value = Json{{"id", newId()},
                        {"totalRequests", figures.totalRequests},
                        {"totalToolCalls", figures.totalToolCalls},
                        {"totalErrors", figures.totalErrors},
                        {"successRate", figures.successRate},
                        {"averageResponseTime", figures.averageResponseTime}};
    return result;
}

QString uptimeText(double totalUptimeSeconds)
{
    // Whole seconds; a hand-edited store's negative or unreadable value is none, one beyond the
    // integer range is capped.
    const double truncated = std::trunc(totalUptimeSeconds);
    const qint64 seconds = !std::isfinite(truncated) || truncated <= 0 ? 0
        : truncated >= 9.2e18                                          ? std::numeric_limits<qint64>::max()
                                                                       : static_cast<qint64>(truncated);
    const qint64 days = seconds / 86400;
    const qint64 hours = (seconds % 86400) / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    if (seconds >= 86400)
        return QStringLiteral("%1d %2h %3m").arg(days).arg(hours).arg(minutes);
    if (seconds >= 3600)
        return QStringLiteral("%1h %2m").arg(hours).arg(minutes);
    return QStringLiteral("%1m").arg(minutes);
}

ActionResult uptime(double totalUptimeSeconds)
{
    ActionResult result;
    const QString text = uptimeText(totalUptimeSeconds);
    result.dialog = QStringLiteral("Total uptime: ") + text;
    result.value = text.toStdString();
    return result;
}

ActionResult connectionCount(qint64 connections)
{
    ActionResult result;
    result.dialog = connections == 1 ? QStringLiteral("1 active connection") : QStringLiteral("%1 active connections").arg(connections);
    result.value = connections;
    return result;
}

ActionResult resetStatistics(bool confirmed)
{
    if (!confirmed)
        return ActionResult::failed(QStringLiteral("Please confirm to reset statistics"));
    ActionResult result;
    result.dialog = QStringLiteral("All statistics have been reset");
    return result;
}

ActionResult clearActivityLog(bool confirmed, qint64 cleared)
{
    if (!confirmed)
        return ActionResult::failed(QStringLiteral("Please confirm to clear the activity log"));
    ActionResult result;
    result.dialog = QStringLiteral("Cleared %1 activity log entries").arg(cleared);
    return result;
}

ActionResult exportStatistics(const std::optional<QString>& exportText, qint64 totalRequests, qint64 totalToolCalls, const QDateTime& now)
{
    if (!exportText)
        return ActionResult::failed(QStringLiteral("Failed to generate statistics export"));
    std::string seconds;
    JsonWriter::appendDouble(seconds, static_cast<double>(now.toMSecsSinceEpoch()) / 1000.0);
    ActionResult result;
    result.file = ActionResult::File{QStringLiteral("zarnel-statistics-") + QString::fromStdString(seconds) + QStringLiteral(".json"),
                                     exportText->toUtf8(), QStringLiteral("json")};
    result.dialog = QStringLiteral("Exported statistics: %1, %2").arg(requestsText(totalRequests), toolCallsText(totalToolCalls));
    return result;
}

ActionResult exportActivityLog(ExportFormat format, const QList<ActivityLogEntry>& entries, const QDateTime& now)
{
    const bool text = format == ExportFormat::Text;
    const ActivityLogDocument document = text ? ActivityLog::exportText(entries, now) : ActivityLog::exportJson(entries, now);
    ActionResult result;
    result.file = ActionResult::File{document.suggestedFileName, document.contents, text ? QStringLiteral("text") : QStringLiteral("json")};
    result.dialog = QStringLiteral("Exported %1 as %2")
                        .arg(countText(entries.size(), QStringLiteral("log entry"), QStringLiteral("log entries")),
                             text ? QStringLiteral("Text") : QStringLiteral("JSON"));
    return result;
}

} // namespace ServerActions

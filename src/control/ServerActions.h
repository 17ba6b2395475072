#pragma once

#include "control/ActionResult.h"
#include "state/ActivityLogEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The actions on the server, its statistics and its activity log, for Zarnel as a whole:
// their dialog texts, values and failure messages. The caller gathers the figures (from every
// running process and the shared statistics store) and carries out what was decided.
namespace ServerActions {

enum class ServerAction { Start, Stop, Toggle };
std::optional<ServerAction> serverActionFromName(const QString& name); // "start", "stop", "toggle"

enum class ExportFormat { Text, Json };
std::optional<ExportFormat> exportFormatFromName(const QString& name); // "text", "json"

// Toggle Server: whether to start (true) or stop (false) every process, or nothing, and the dialog.
// Zarnel runs when any process's server runs; a start also starts the processes whose server
// is stopped while others run.
struct ToggleDecision {
    std::optional<bool> setRunning;
    QString dialog;
};
ToggleDecision toggleServer(ServerAction action, qsizetype runningProcesses, qsizetype stoppedProcesses);
// With no process running the action only sets what the processes that start later do; `startsNow`
// is what they would do without it. Whether they start, and the dialog.
struct LaterDecision {
    bool start = false;
    QString dialog;
};
LaterDecision chooseForLaterProcesses(ServerAction action, bool startsNow);

struct StatusFigures {
    bool running = false;
    qint64 connections = 0;
    qint64 totalRequests = 0;
    qint64 totalToolCalls = 0;
    // "Confined to N folders; commands: kernel", or empty to leave it out.
    QString confinement;
    // The names of the clients whose requests wait for a start (empty for one that gave none).
    QStringList waitingClients;
};
ActionResult serverStatus(const StatusFigures& figures);
// "1 client waiting (Claude Code)", "2 clients waiting (Claude Code, Cursor)", "" when none waits.
QString waitingText(const QStringList& clientNames);
// The line the status shows of the folder settings.
QString confinementSummary(const QStringList& allowedFolders, const QStringList& readOnlyFolders, bool commandNetwork);

struct StatisticsFigures {
    qint64 totalRequests = 0;
    qint64 totalToolCalls = 0;
    qint64 totalErrors = 0;
    double successRate = 1.0;
    double averageResponseTime = 0.0;
};
ActionResult statistics(const StatisticsFigures& figures);

QString uptimeText(double totalUptimeSeconds); // "1d 1h 1m", "1h 0m", "0m"
QString percentText(double rate);              // "%.1f%%" of a rate between 0 and 1: "91.7%"
ActionResult uptime(double totalUptimeSeconds);
ActionResult connectionCount(qint64 connections);

ActionResult resetStatistics(bool confirmed); // the failure when not confirmed
ActionResult clearActivityLog(bool confirmed, qint64 cleared);

// exportText is the statistics store's document; nothing when it could not be produced.
ActionResult exportStatistics(const std::optional<QString>& exportText, qint64 totalRequests, qint64 totalToolCalls, const QDateTime& now);
ActionResult exportActivityLog(ExportFormat format, const QList<ActivityLogEntry>& entries, const QDateTime& now);

} // namespace ServerActions

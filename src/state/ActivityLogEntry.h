#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

// The kind of an activity-log entry; its text form is the case name.
enum class LogType { Info, Request, ToolCall, Success, Error };

QString logTypeName(LogType type); // "info", "request", "toolCall", "success", "error"

struct ActivityLogEntry {
    QUuid id;
    QDateTime timestamp;
    QString message;
    LogType type = LogType::Info;
};

// A failed tool call as its log entry tells it: "Tool error: <tool>: <reason>". The reason is
// kept on one line, so that a log export keeps one entry per line.
struct ToolFailure {
    QString tool;
    QString reason;

    QString message() const;
    // The failure an entry's message tells of; nothing for any other message.
    static std::optional<ToolFailure> of(const ActivityLogEntry& entry);
    // Why a call did not run when the person asked declined it: their own choice, not a fault.
    static QString declinedReason(const QString& tool);
    bool wasDeclined() const { return reason == declinedReason(tool); }
};

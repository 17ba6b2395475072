#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

// The kind of an activity-log entry; its text form is the case name.
enum class LogType { Info, Request, ToolCall, Success, Error };

QString logTypeName(LogType type); // "info", "request", "toolCall", "success", "error"

struct ActivityLogEntry {
    QUuid id;
    QDateTime timestamp;
    QString message;
    LogType type = LogType::Info;
};

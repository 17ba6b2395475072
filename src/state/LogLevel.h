#pragma once

#include <QList>
#include <QString>

#include <optional>

// How much the activity log keeps, from everything (debug) to failures only (error).
enum class LogLevel { Debug, Info, Warning, Error };

namespace LogLevels {

QList<LogLevel> allCases();
QString rawValue(LogLevel level);    // "debug", "info", "warning", "error"
QString displayName(LogLevel level); // "Debug (Verbose)", ...
std::optional<LogLevel> fromRawValue(const QString& raw);

} // namespace LogLevels

#include "state/LogLevel.h"

namespace LogLevels {

QList<LogLevel> allCases()
{
    return {LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error};
}

QString rawValue(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug: return QStringLiteral("debug");
    case LogLevel::Info: return QStringLiteral("info");
    case LogLevel::Warning: return QStringLiteral("warning");
    case LogLevel::Error: return QStringLiteral("error");
    }
    return QStringLiteral("info");
}

QString displayName(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug: return QStringLiteral("Debug (Verbose)");
    case LogLevel::Info: return QStringLiteral("Info (Normal)");
    case LogLevel::Warning: return QStringLiteral("Warning (Important)");
    case LogLevel::Error: return QStringLiteral("Error (Critical Only)");
    }
    return {};
}

std::optional<LogLevel> fromRawValue(const QString& raw)
{
    for (const LogLevel level : allCases()) {
        if (rawValue(level) == raw)
            return level;
    }
    return std::nullopt;
}

} // namespace LogLevels

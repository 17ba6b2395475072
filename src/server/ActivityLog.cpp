#include "server/ActivityLog.h"

#include "platform/Clock.h"
#include "state/SettingsManager.h"

QString logTypeName(LogType type)
{
    switch (type) {
    case LogType::Info: return QStringLiteral("info");
    case LogType::Request: return QStringLiteral("request");
    case LogType::ToolCall: return QStringLiteral("toolCall");
    case LogType::Success: return QStringLiteral("success");
    case LogType::Error: return QStringLiteral("error");
    }
    return QStringLiteral("info");
}

ActivityLog::ActivityLog(const SettingsManager& settings, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
{
}

bool ActivityLog::shouldLog(LogType type) const
{
    if (m_settings.enableToolLogging() && (type == LogType::ToolCall || type == LogType::Success))
        return true;
    switch (m_settings.logLevel()) {
    case LogLevel::Debug:
        return true;
    case LogLevel::Info:
        return type != LogType::ToolCall;
    case LogLevel::Warning:
        return type == LogType::Request || type == LogType::Error;
    case LogLevel::Error:
        return type == LogType::Error;
    }
    return true;
}

void ActivityLog::add(const QString& message, LogType type)
{
    if (!shouldLog(type))
        return;
    ActivityLogEntry entry{QUuid::createUuid(), m_clock.now(), message, type};
    m_entries.prepend(entry);
    // A negative maximum can only come from a hand-edited store; keep the newest entry then.
    const qint64 configured = m_settings.maxLogEntries();
    const qint64 maximum = configured < 0 ? 1 : configured;
    if (m_entries.size() > maximum)
        m_entries.resize(static_cast<qsizetype>(maximum));
    Q_EMIT entryAdded(entry);
    Q_EMIT entriesChanged();
}

void ActivityLog::clear()
{
    m_entries.clear();
    Q_EMIT entriesChanged();
}

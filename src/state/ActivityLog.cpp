#include "state/ActivityLog.h"

#include "platform/processes/Clock.h"
#include "platform/processes/Log.h"
#include "protocol/JsonWriter.h"
#include "state/RandomUuid.h"
#include "state/SettingsManager.h"

#include <QRegularExpression>

namespace {

// "2026-12-04 18:06:53 +0000"
QString reportTime(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

} // namespace

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

QString ToolFailure::message() const
{
    // Lines run on after a heading ("Error: ls: cannot access ..."), else a bar parts them.
    // The log keeps the first kilobyte of a message: a tool's output of megabytes need not be
    // split to find it.
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    QString line;
    for (const QString& part : reason.left(2 * Log::kMaxClientTextBytes).split(lineBreaks, Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (!line.isEmpty())
            line += line.endsWith(QLatin1Char(':')) ? QStringLiteral(" ") : QStringLiteral(" | ");
        line += trimmed;
    }
    QString message = QStringLiteral("Tool error: ") + tool;
    if (!line.isEmpty())
        message += QStringLiteral(": ") + line;
    return message;
}

std::optional<ToolFailure> ToolFailure::of(const ActivityLogEntry& entry)
{
    static const QString prefix = QStringLiteral("Tool error: ");
    if (entry.type != LogType::Error || !entry.message.startsWith(prefix))
        return std::nullopt;
    // Our tools' names hold no ": ", so the first one ends the name.
    const qsizetype separator = entry.message.indexOf(QStringLiteral(": "), prefix.size());
    if (separator < 0)
        return ToolFailure{entry.message.mid(prefix.size()), {}};
    return ToolFailure{entry.message.mid(prefix.size(), separator - prefix.size()), entry.message.mid(separator + 2)};
}

QString ToolFailure::declinedReason(const QString& tool)
{
    return QStringLiteral("Not approved: ") + tool + QStringLiteral(" was declined");
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
    case LogLevel::Debug: return true;
    case LogLevel::Info: return type != LogType::ToolCall;
    case LogLevel::Warning: return type == LogType::Request || type == LogType::Error;
    case LogLevel::Error: return type == LogType::Error;
    }
    return true;
}

void ActivityLog::add(const QString& message, LogType type)
{
    if (!shouldLog(type))
        return;
    // Messages quote what clients sent (tool names, URIs), which can be of any length.
    ActivityLogEntry entry{RandomUuid::create(), m_clock.now(), Log::clip(message), type};
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

QString ActivityLog::suggestedFileName(const char* extension, const QDateTime& now)
{
    std::string seconds;
    JsonWriter::appendDouble(seconds, static_cast<double>(now.toMSecsSinceEpoch()) / 1000.0);
    return QStringLiteral("zarnel-activity-log-") + QString::fromStdString(seconds) + QLatin1Char('.') + QLatin1String(extension);
}

ActivityLogDocument ActivityLog::exportText() const
{
    return exportText(m_entries, m_clock.now());
}

ActivityLogDocument ActivityLog::exportJson() const
{
    return exportJson(m_entries, m_clock.now());
}

ActivityLogDocument ActivityLog::exportText(const QList<ActivityLogEntry>& entries, const QDateTime& now)
{
    QString text = QStringLiteral("Zarnel Activity Log Export\n");
    text += QStringLiteral("Generated: ") + reportTime(now) + QLatin1Char('\n');
    text += QStringLiteral("Total Entries: ") + QString::number(entries.size()) + QLatin1Char('\n');
    text += QString(80, QLatin1Char('=')) + QStringLiteral("\n\n");
    for (const ActivityLogEntry& entry : entries) {
        text += QLatin1Char('[') + reportTime(entry.timestamp) + QStringLiteral("] [") + logTypeName(entry.type) + QStringLiteral("] ")
            + entry.message + QLatin1Char('\n');
    }
    return {suggestedFileName("txt", now), text.toUtf8()};
}

ActivityLogDocument ActivityLog::exportJson(const QList<ActivityLogEntry>& entries, const QDateTime& now)
{
    Json array = Json::array();
    for (const ActivityLogEntry& entry : entries) {
        array.push_back(Json{
            {"timestamp", entry.timestamp.toUTC().toString(Qt::ISODate).toStdString()},
            {"type", logTypeName(entry.type).toStdString()},
            {"message", entry.message.toStdString()},
        });
    }
    return {suggestedFileName("json", now), QByteArray::fromStdString(JsonWriter::pretty(array))};
}

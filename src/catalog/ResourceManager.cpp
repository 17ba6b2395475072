#include "catalog/ResourceManager.h"

#include "catalog/ServerStatus.h"
#include "platform/files/FileManager.h"
#include "platform/processes/Clock.h"
#include "platform/processes/CommandSandbox.h"
#include "platform/processes/Log.h"
#include "platform/session/SystemReport.h"
#include "protocol/JsonWriter.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "tools/ToolRegistry.h"

#include <QCoroFuture>
#include <QLocale>
#include <QStringDecoder>
#include <QtConcurrent>

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcResources, "ResourceManager")

namespace {

QString symbolOf(LogType type)
{
    switch (type) {
    case LogType::Info: return QStringLiteral("\u2139\uFE0F");
    case LogType::Request: return QStringLiteral("\U0001F4E5");
    case LogType::ToolCall: return QStringLiteral("\U0001F527");
    case LogType::Success: return QStringLiteral("\u2705");
    case LogType::Error: return QStringLiteral("\u274C");
    }
    return {};
}

// A short date and a medium time (with seconds) in the user's locale and time zone.
QString localTimestamp(const QDateTime& moment)
{
    static const QLocale locale = QLocale::system();
    static const QString timeFormat = [] {
        QString format = QLocale::system().timeFormat(QLocale::LongFormat);
        // The long form ends with the zone name; the medium form has none.
        format.remove(QLatin1Char('t'));
        return format.trimmed();
    }();
    const QDateTime local = moment.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QStringLiteral(", ") + locale.toString(local.time(), timeFormat);
}

QString pretty(const Json& document)
{
    return QString::fromStdString(JsonWriter::pretty(document));
}

} // namespace

ResourceManager::ResourceManager(ResourceSources sources, QObject* parent)
    : QObject(parent)
    , m_sources(std::move(sources))
{
    registerDefaultResources();
}

ResourceManager::~ResourceManager() = default;

void ResourceManager::registerDefaultResources()
{
    registerResource(
        {kSystemInfoUri, "System Information", "Current system information including CPU, memory, and disk usage", "text/plain"});
    registerResource({kActivityLogUri, "Activity Log", "Real-time activity log of MCP server operations", "text/plain"});
    registerResource({kStatisticsUri, "Server Statistics", "Real-time server statistics and performance metrics", "application/json"});
    registerResource({kServerStatusUri, "Server Status", "Current server status and configuration", "application/json"});
    registerResource({kToolsUri, "Available Tools", "List of all available MCP tools with descriptions", "application/json"});
}

void ResourceManager::registerResource(MCPResource resource)
{
    if (isKnownUri(QString::fromStdString(resource.uri)))
        return;
    qCInfo(lcResources, "Registered resource: %s", resource.uri.c_str());
    m_resources.push_back(std::move(resource));
    Q_EMIT resourcesChanged();
}

bool ResourceManager::isKnownUri(const QString& uri) const
{
    const std::string text = uri.toStdString();
    return std::any_of(m_resources.begin(), m_resources.end(), [&](const MCPResource& resource) { return resource.uri == text; });
}

QString ResourceManager::mimeTypeFor(const QString& uri) const
{
    const std::string text = uri.toStdString();
    for (const auto& resource : m_resources) {
        if (resource.uri == text)
            return QString::fromStdString(resource.mimeType.value_or("text/plain"));
    }
    return QStringLiteral("text/plain");
}

std::optional<QString> ResourceManager::filePathForUri(const QString& uri)
{
    const QLatin1String scheme(kFileScheme);
    if (!uri.startsWith(scheme))
        return std::nullopt;
    const QString rest = uri.mid(scheme.size());
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0)
        return std::nullopt;
    const QString host = rest.left(slash);
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromPercentEncoding(rest.mid(slash).toUtf8());
    if (bytes.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString path = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return path;
}

QCoro::Task<ResourceReadResult> ResourceManager::readResource(QString uri)
{
    if (uri == QLatin1String(kSystemInfoUri))
        co_return std::vector<MCPContent>{MCPContent::text(SystemReport::current(*m_sources.systemInformation).toStdString())};
    if (uri == QLatin1String(kActivityLogUri))
        co_return std::vector<MCPContent>{MCPContent::text(activityLogText().toStdString())};
    if (uri == QLatin1String(kStatisticsUri))
        co_return std::vector<MCPContent>{MCPContent::text(statisticsDocument().toStdString())};
    if (uri == QLatin1String(kServerStatusUri))
        co_return std::vector<MCPContent>{MCPContent::text(serverStatusDocument().toStdString())};
    if (uri == QLatin1String(kToolsUri))
        co_return std::vector<MCPContent>{MCPContent::text(toolsDocument().toStdString())};
    if (uri.startsWith(QLatin1String(kFileScheme)))
        co_return co_await readFileResource(uri);
    co_return MCPResourceError::resourceNotFound(uri);
}

QCoro::Task<ResourceReadResult> ResourceManager::readFileResource(QString uri)
{
    // The system would read such a path only up to the NUL, which names another file.
    if (uri.contains(QChar(u'\0')) || QByteArray::fromPercentEncoding(uri.toUtf8()).contains('\0'))
        co_return MCPResourceError::invalidPath();
    const auto path = filePathForUri(uri);
    if (!path)
        co_return MCPResourceError::resourceNotFound(uri);
    FileManager* files = m_sources.files;
    // The read can take a while (up to the 64 MiB limit): off the main thread.
    // Named before it is awaited: g++ 12 destroys the captures of a lambda temporary inside a
    // co_await expression twice.
    auto reading = QtConcurrent::run([files, filePath = FilePath(*path)]() -> std::optional<FileResult<QString>> {
        if (!files->exists(filePath))
            return std::nullopt;
        return files->readTextFile(filePath);
    });
    auto outcome = co_await reading;
    if (!outcome)
        co_return MCPResourceError::resourceNotFound(uri);
    if (!outcome->ok())
        co_return MCPResourceError::internalError(QStringLiteral("Failed to read file: ") + outcome->error().description);
    co_return std::vector<MCPContent>{MCPContent::text(outcome->value().toStdString())};
}

QString ResourceManager::activityLogText() const
{
    QString text = QStringLiteral("Zarnel Activity Log\n=================\n\n");
    if (!m_sources.activityLog)
        return text;
    const auto& entries = m_sources.activityLog->entries();
    const qsizetype count = std::min<qsizetype>(entries.size(), kActivityLogLines);
    for (qsizetype i = 0; i < count; ++i) {
        const ActivityLogEntry& entry = entries[i];
        text += QLatin1Char('[') + localTimestamp(entry.timestamp) + QStringLiteral("] ") + symbolOf(entry.type) + QLatin1Char(' ')
            + entry.message + QLatin1Char('\n');
    }
    return text;
}

QString ResourceManager::statisticsDocument() const
{
    const ServerStatistics& statistics = m_sources.statistics->statistics();
    qint64 successful = 0;
    qint64 failed = 0;
    for (const ToolUsage& usage : statistics.toolUsage) {
        successful += usage.successCount;
        failed += usage.failureCount;
    }
    Json mostUsed = Json::array();
    for (const ToolUsage& usage : m_sources.statistics->topTools()) {
        const double rate = usage.callCount < 1 ? 1.0 : static_cast<double>(usage.successCount) / static_cast<double>(usage.callCount);
        mostUsed.push_back({{"name", usage.name.toStdString()}, {"count", usage.callCount}, {"success_rate", rate}});
    }
    const QDateTime now = m_sources.clock ? m_sources.clock->now() : QDateTime::currentDateTimeUtc();
    const double uptime =
        statistics.sessionStartTime.isValid() ? static_cast<double>(statistics.sessionStartTime.msecsTo(now)) / 1000.0 : 0.0;
    return pretty(Json{
        {"total_requests", statistics.totalRequests},
        {"total_connections", static_cast<qint64>(statistics.connectionHistory.size())},
        {"total_tool_calls", statistics.totalToolCalls},
        {"successful_tools", successful},
        {"failed_tools", failed},
        {"total_errors", statistics.totalErrors},
        {"uptime_seconds", uptime},
        {"session_requests", statistics.sessionRequests},
        {"session_tool_calls", statistics.sessionToolCalls},
        {"most_used_tools", std::move(mostUsed)},
    });
}

namespace {

Json jsonStrings(const QStringList& texts)
{
    Json list = Json::array();
    for (const QString& text : texts)
        list.push_back(text.toStdString());
    return list;
}

} // namespace

QString ResourceManager::serverStatusDocument() const
{
    const SettingsManager& settings = *m_sources.settings;
    return pretty(Json{
        {"is_running", m_server && m_server->isRunning()},
        {"connection_count", m_server ? m_server->connectionCount() : 0},
        {"settings",
         {{"auto_start_server", settings.autoStartServer()},
          {"log_level", settings.logLevelRawValue().toStdString()},
          {"command_timeout", settings.commandTimeout()},
          {"enable_tool_logging", settings.enableToolLogging()}}},
        {"allowed_folders", jsonStrings(settings.allowedFolders())},
        {"read_only_folders", jsonStrings(settings.readOnlyFolders())},
        {"command_confinement",
         m_sources.confinement ? CommandSandbox::statusText(m_sources.confinement->effective()).toStdString() : std::string("off")},
    });
}

std::optional<QString> ResourceManager::fileRefusal(const QString& path) const
{
    if (!m_sources.confinement)
        return std::nullopt;
    const auto admitted = m_sources.confinement->admit(FilePath(path), FolderConfinement::Access::Read);
    if (admitted.ok())
        return std::nullopt;
    return admitted.error().description;
}

QString ResourceManager::toolsDocument() const
{
    Json tools = Json::array();
    for (const MCPTool& tool : m_sources.tools->listTools()) {
        Json properties = Json::object();
        for (const auto& [name, property] : tool.inputSchema.properties.value_or(std::map<std::string, SchemaProperty>{}))
            properties[name] = {{"type", property.type}, {"description", property.description.value_or("")}};
        tools.push_back({{"name", tool.name},
                         {"description", tool.description},
                         {"input_schema",
                          {{"type", tool.inputSchema.type},
                           {"properties", std::move(properties)},
                           {"required", tool.inputSchema.required.value_or(std::vector<std::string>{})}}}});
    }
    const auto count = static_cast<qint64>(tools.size());
    return pretty(Json{{"total_tools", count}, {"tools", std::move(tools)}});
}

#pragma once

#include "protocol/MCPContent.h"
#include "protocol/MCPResource.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

class ActivityLog;
class Clock;
class FileManager;
class ServerStatus;
class SettingsManager;
class StatisticsManager;
class SystemInformation;
class ToolRegistry;

// A failed resource read, with the text the client sees.
struct MCPResourceError {
    QString description;
    // Whether nothing is there, as opposed to a failure to read what is.
    bool notFound = false;

    static MCPResourceError resourceNotFound(const QString& uri) { return {QStringLiteral("Resource not found: ") + uri, true}; }
    static MCPResourceError internalError(const QString& message) { return {QStringLiteral("Internal error: ") + message}; }
    static MCPResourceError invalidResource(const QString& message) { return {QStringLiteral("Invalid resource: ") + message}; }
    static MCPResourceError invalidPath() { return {QStringLiteral("Invalid path: contains a NUL character")}; }
};

using ResourceReadResult = std::variant<std::vector<MCPContent>, MCPResourceError>;

// What the catalogue renders its live resources from.
class FolderConfinement;

struct ResourceSources {
    const ActivityLog* activityLog = nullptr;
    const StatisticsManager* statistics = nullptr;
    const SettingsManager* settings = nullptr;
    const ToolRegistry* tools = nullptr;
    const Clock* clock = nullptr;
    std::shared_ptr<const SystemInformation> systemInformation;
    FileManager* files = nullptr;
    // Where the assistant may work; nothing when the test or program confines nothing.
    const FolderConfinement* confinement = nullptr;
};

// The catalogue of resources and their reader: the system report, the activity log, the
// statistics, the server status, the tool catalogue, and local files by file URI.
class ResourceManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSystemInfoUri = "system://info";
    static constexpr const char* kActivityLogUri = "zarnel://activity-log";
    static constexpr const char* kStatisticsUri = "zarnel://statistics";
    static constexpr const char* kServerStatusUri = "zarnel://server-status";
    static constexpr const char* kToolsUri = "zarnel://tools";
    static constexpr const char* kFileScheme = "file://";
    static constexpr int kActivityLogLines = 100;

    explicit ResourceManager(ResourceSources sources, QObject* parent = nullptr);
    ~ResourceManager() override;

    // The server whose status the catalogue reports; set once both exist.
    void attachServer(const ServerStatus* server) { m_server = server; }

    const std::vector<MCPResource>& resources() const { return m_resources; }
    // The first registration of a URI wins.
    void registerResource(MCPResource resource);
    bool isKnownUri(const QString& uri) const;
    // The MIME type a read of `uri` has: the descriptor's, "text/plain" for files.
    QString mimeTypeFor(const QString& uri) const;

    // The local path a file URI names: percent-decoded, with an empty or "localhost" host.
    // Nothing for other URIs, other hosts, or bytes that do not decode to a valid path.
    static std::optional<QString> filePathForUri(const QString& uri);
    // The refusal of a file the assistant may not read ("Access denied: ..."), or nothing.
    std::optional<QString> fileRefusal(const QString& path) const;

    // Never throws; failures come back as MCPResourceError.
    QCoro::Task<ResourceReadResult> readResource(QString uri);
    QCoro::Task<ResourceReadResult> readFileResource(QString uri);

    // The renderings, for the dashboard and tests.
    QString activityLogText() const;
    QString statisticsDocument() const;
    QString serverStatusDocument() const;
    QString toolsDocument() const;

Q_SIGNALS:
    void resourcesChanged();

private:
    void registerDefaultResources();

    ResourceSources m_sources;
    const ServerStatus* m_server = nullptr;
    std::vector<MCPResource> m_resources;
};

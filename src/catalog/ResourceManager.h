#pragma once

#include "protocol/MCPContent.h"
#include "protocol/MCPResource.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

// A failed resource read, with the text the client sees.
struct MCPResourceError {
    QString description;
};

using ResourceReadResult = std::variant<std::vector<MCPContent>, MCPResourceError>;

// The catalogue of resources and their reader.
class ResourceManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSystemInfoUri = "system://info";
    static constexpr const char* kActivityLogUri = "zarnel://activity-log";
    static constexpr const char* kStatisticsUri = "zarnel://statistics";
    static constexpr const char* kServerStatusUri = "zarnel://server-status";
    static constexpr const char* kToolsUri = "zarnel://tools";
    static constexpr const char* kFileScheme = "file://";

    explicit ResourceManager(QObject* parent = nullptr);

    const std::vector<MCPResource>& resources() const { return m_resources; }
    bool isKnownUri(const QString& uri) const;

    // The local path a file URI names: percent-decoded, with an empty or "localhost" host.
    // Nothing for other URIs, other hosts, or bytes that do not decode to a valid path.
    static std::optional<QString> filePathForUri(const QString& uri);

    // Never throws; failures come back as MCPResourceError.
    QCoro::Task<ResourceReadResult> readResource(QString uri);

Q_SIGNALS:
    void resourcesChanged();

private:
    std::vector<MCPResource> m_resources;
};

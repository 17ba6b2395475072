#pragma once

#include "protocol/MCPContent.h"
#include "protocol/MCPResource.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

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
    explicit ResourceManager(QObject* parent = nullptr);

    const std::vector<MCPResource>& resources() const { return m_resources; }

    // Never throws; failures come back as MCPResourceError.
    QCoro::Task<ResourceReadResult> readResource(QString uri);

Q_SIGNALS:
    void resourcesChanged();

private:
    std::vector<MCPResource> m_resources;
};

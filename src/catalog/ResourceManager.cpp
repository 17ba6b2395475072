#include "catalog/ResourceManager.h"

ResourceManager::ResourceManager(QObject* parent)
    : QObject(parent)
{
}

QCoro::Task<ResourceReadResult> ResourceManager::readResource(QString uri)
{
    co_return MCPResourceError{QStringLiteral("Resource not found: ") + uri};
}

#include "catalog/ResourceManager.h"

#include <QStringDecoder>

#include <algorithm>

ResourceManager::ResourceManager(QObject* parent)
    : QObject(parent)
{
}

bool ResourceManager::isKnownUri(const QString& uri) const
{
    const std::string text = uri.toStdString();
    return std::any_of(m_resources.begin(), m_resources.end(), [&](const MCPResource& resource) { return resource.uri == text; });
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
    co_return MCPResourceError{QStringLiteral("Resource not found: ") + uri};
}

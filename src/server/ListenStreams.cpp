#include "server/ListenStreams.h"

#include "catalog/ResourceManager.h"
#include "platform/processes/Log.h"
#include "protocol/DecodingError.h"

ZARNEL_LOGGING_CATEGORY(lcListen, "ListenStreams")

namespace {

constexpr const char* kSubscriptionIdKey = "io.modelcontextprotocol/subscriptionId";

} // namespace

ListenStreams::ListenStreams(const ResourceManager& resources, Notifier notify, QObject* parent)
    : QObject(parent)
    , m_resources(resources)
    , m_notify(std::move(notify))
{
    connect(&m_subscriptions, &ResourceSubscriptions::updated, this, &ListenStreams::sendUpdate);
}

Json ListenStreams::metaFor(const JSONRPCId& id)
{
    return Json{{kSubscriptionIdKey, id.toJson()}};
}

std::optional<JSONRPCError> ListenStreams::open(const JSONRPCRequest& request)
{
    const Json& params = *request.params;
    const Json filter = params.value("notifications", Json());
    if (!filter.is_object())
        return JSONRPCError{JSONRPCError::invalidParams.code, "subscriptions/listen needs a \"notifications\" object", std::nullopt};
    Stream stream(*request.id);
    const auto flag = [&](const char* key) { return filter.value(key, Json()) == true; };
    stream.toolsListChanged = flag("toolsListChanged");
    stream.promptsListChanged = flag("promptsListChanged");
    stream.resourcesListChanged = flag("resourcesListChanged");
    Json acknowledged = Json::object();
    if (stream.toolsListChanged)
        acknowledged["toolsListChanged"] = true;
    if (stream.promptsListChanged)
        acknowledged["promptsListChanged"] = true;
    if (stream.resourcesListChanged)
        acknowledged["resourcesListChanged"] = true;
    if (const auto uris = filter.find("resourceSubscriptions"); uris != filter.end() && uris->is_array()) {
        Json honoured = Json::array();
        for (const Json& uri : *uris) {
            if (!uri.is_string())
                continue;
            const QString text = QString::fromStdString(uri.get<std::string>());
            const auto filePath = ResourceManager::filePathForUri(text);
            // Only what exists can change; what is beyond the process's limit is not acknowledged.
            if ((!m_resources.isKnownUri(text) && !filePath) || !m_subscriptions.subscribe(text, filePath.value_or(QString())))
                continue;
            stream.resources.insert(text);
            honoured.push_back(uri);
        }
        acknowledged["resourceSubscriptions"] = std::move(honoured);
    }
    const JSONRPCId id = stream.id;
    close(id); // a reused id replaces its stream
    m_streams.push_back(std::move(stream));
    m_notify("notifications/subscriptions/acknowledged", Json{{"_meta", metaFor(id)}, {"notifications", std::move(acknowledged)}});
    return std::nullopt;
}

bool ListenStreams::close(const JSONRPCId& id)
{
    const auto it = std::find_if(m_streams.begin(), m_streams.end(), [&](const Stream& stream) { return stream.id == id; });
    if (it == m_streams.end())
        return false;
    const QSet<QString> resources = std::move(it->resources);
    m_streams.erase(it);
    for (const QString& uri : resources) {
        const bool stillWanted =
            std::any_of(m_streams.begin(), m_streams.end(), [&](const Stream& other) { return other.resources.contains(uri); });
        if (!stillWanted)
            m_subscriptions.unsubscribe(uri);
    }
    return true;
}

void ListenStreams::closeCancelled(const JSONRPCRequest& cancellation)
{
    const Json* params = cancellation.params && cancellation.params->is_object() ? &*cancellation.params : nullptr;
    if (!params || !params->contains("requestId"))
        return;
    try {
        const JSONRPCId id = JSONRPCId::fromJson((*params)["requestId"], "params.requestId");
        if (close(id))
            qCInfo(lcListen, "Listen %s ended by the client", id.toDisplayString().c_str());
    } catch (const DecodingError&) {
    }
}

void ListenStreams::clear()
{
    m_streams.clear();
    m_subscriptions.clear();
}

void ListenStreams::sendUpdate(const QString& uri)
{
    for (const Stream& stream : m_streams) {
        if (stream.resources.contains(uri))
            m_notify("notifications/resources/updated", Json{{"_meta", metaFor(stream.id)}, {"uri", uri.toStdString()}});
    }
}

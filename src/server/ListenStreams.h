#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCError.h"
#include "protocol/JSONRPCId.h"
#include "protocol/JSONRPCRequest.h"
#include "server/ResourceSubscriptions.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class ResourceManager;

// The open subscriptions/listen requests of stateless clients. A listen is acknowledged with the
// notification types this server will send on it, then stays open (no response) until the
// client cancels it; every message on it carries its id as subscriptionId. Resource updates go
// through the same coalescing as a session's subscriptions.
class ListenStreams : public QObject {
    Q_OBJECT
public:
    using Notifier = std::function<void(const std::string& method, Json params)>;

    ListenStreams(const ResourceManager& resources, Notifier notify, QObject* parent = nullptr);

    // Opens the stream and writes its acknowledgement; an error for params it cannot read.
    std::optional<JSONRPCError> open(const JSONRPCRequest& request);
    // Ends the stream the client cancelled; false when no stream has that id.
    bool close(const JSONRPCId& id);
    // Ends the stream that a notifications/cancelled names in its requestId, if there is one.
    void closeCancelled(const JSONRPCRequest& cancellation);
    void clear();

    bool isEmpty() const { return m_streams.empty(); }
    ResourceSubscriptions& subscriptions() { return m_subscriptions; }

private:
    struct Stream {
        explicit Stream(JSONRPCId streamId)
            : id(std::move(streamId))
        {
        }
        JSONRPCId id;
        bool toolsListChanged = false;
        bool promptsListChanged = false;
        bool resourcesListChanged = false;
        QSet<QString> resources;
    };

    void sendUpdate(const QString& uri);
    static Json metaFor(const JSONRPCId& id);

    const ResourceManager& m_resources;
    Notifier m_notify;
    std::vector<Stream> m_streams;
    ResourceSubscriptions m_subscriptions;
};

#pragma once

#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"
#include "protocol/MCPInitialize.h"
#include "protocol/ProtocolRevision.h"

#include <optional>

// What a client sets up with initialize and logging/setLevel (revisions 2024-11-05 to
// 2025-11-25) for the requests after them: who it is, the revision and capabilities agreed, the
// log level it asked for. A client that never initializes holds a 2024-11-05 session. Stateless
// requests carry all of this in each request instead (StatelessRequests).
class ClientSession {
public:
    explicit ClientSession(ServerInfo server);

    // Answers initialize; a second one starts the session over at the revision it negotiates.
    JSONRPCResponse initialize(const JSONRPCRequest& request);
    // Answers logging/setLevel.
    JSONRPCResponse setLogLevel(const JSONRPCRequest& request);
    // A new reader is a new conversation: the revision, the capabilities and the log level go.
    // The last client stays known until another one initializes.
    void startOver();

    bool initialized() const { return m_client.has_value(); }
    const std::optional<ClientInfo>& client() const { return m_client; }
    // The revision initialize negotiated; none before it.
    std::optional<ProtocolRevision> negotiatedRevision() const { return m_revision; }
    // The revision the session's requests are served under.
    ProtocolRevision revision() const { return m_revision.value_or(ProtocolRevision::V2024_11_05); }
    // What the client declared at initialize (its "capabilities" object).
    const Json& capabilities() const { return m_capabilities; }
    // The lowest severity of activity-log entries the client asked to receive; none until it
    // sets a level.
    std::optional<int> logSeverity() const { return m_logSeverity; }

private:
    ServerInfo m_server;
    std::optional<ClientInfo> m_client;
    std::optional<ProtocolRevision> m_revision;
    Json m_capabilities = Json::object();
    std::optional<int> m_logSeverity;
};

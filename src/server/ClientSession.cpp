#include "server/ClientSession.h"

#include "platform/processes/Log.h"
#include "protocol/DecodingError.h"
#include "server/ServerLogLevels.h"

ZARNEL_LOGGING_CATEGORY(lcSession, "ClientSession")

ClientSession::ClientSession(ServerInfo server)
    : m_server(std::move(server))
{
}

JSONRPCResponse ClientSession::initialize(const JSONRPCRequest& request)
{
    if (!request.params)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::optional<MCPInitializeRequest> initialize;
    try {
        initialize = MCPInitializeRequest::fromJson(*request.params);
    } catch (const DecodingError& failure) {
        qCCritical(lcSession, "Initialize error: %s", Log::clip(failure.description()).c_str());
        return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }

    const ProtocolRevision revision = Revision::negotiate(initialize->protocolVersion);
    m_client = initialize->clientInfo;
    m_revision = revision;
    m_capabilities = (*request.params)["capabilities"];
    qCInfo(lcSession, "Initialized with client: %s v%s (protocol %s)", Log::clip(m_client->name).c_str(),
           Log::clip(m_client->version).c_str(), Revision::name(revision));

    MCPInitializeResponse result;
    result.protocolVersion = Revision::name(revision);
    result.capabilities.tools = ListChangedCapability{true};
    result.capabilities.resources = ResourcesCapability{true, true};
    result.capabilities.prompts = ListChangedCapability{true};
    result.capabilities.logging = true;
    result.capabilities.completions = Revision::hasCompletions(revision);
    result.serverInfo = m_server;
    return JSONRPCResponse::success(request.id, result.toJson());
}

JSONRPCResponse ClientSession::setLogLevel(const JSONRPCRequest& request)
{
    const Json* level =
        request.params && request.params->is_object() && request.params->contains("level") ? &(*request.params)["level"] : nullptr;
    const auto severity = level && level->is_string() ? ServerLogLevels::severityOf(level->get<std::string>()) : std::nullopt;
    if (!severity)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    m_logSeverity = severity;
    return JSONRPCResponse::success(request.id, Json::object());
}

void ClientSession::startOver()
{
    m_revision.reset();
    m_capabilities = Json::object();
    m_logSeverity.reset();
}

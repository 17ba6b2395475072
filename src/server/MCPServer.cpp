#include "server/MCPServer.h"

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "platform/Log.h"
#include "protocol/AnyCodable.h"
#include "protocol/DecodingError.h"
#include "protocol/JsonWriter.h"
#include "protocol/MCPPrompt.h"
#include "protocol/MCPResource.h"
#include "protocol/MCPTool.h"
#include "server/ConfirmationGate.h"
#include "server/StdioTransport.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "tools/ToolRegistry.h"

#include <QElapsedTimer>
#include <QPointer>

ZARNEL_LOGGING_CATEGORY(lcServer, "MCPServer")

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// The syslog severities of logging/setLevel, lowest first.
const std::vector<std::string> kLogSeverities = {"debug", "info", "notice", "warning", "error", "critical", "alert", "emergency"};
constexpr int kInfoSeverity = 1;
constexpr int kErrorSeverity = 4;

std::optional<int> severityOf(const std::string& level)
{
    const auto it = std::find(kLogSeverities.begin(), kLogSeverities.end(), level);
    if (it == kLogSeverities.end())
        return std::nullopt;
    return static_cast<int>(it - kLogSeverities.begin());
}

// Decodes a request's params into the record of its method; no params is reported as such.
template <typename Record> std::optional<Record> decodeParams(const JSONRPCRequest& request, std::string* error)
{
    try {
        return Record::fromJson(*request.params);
    } catch (const DecodingError& failure) {
        *error = failure.description();
        return std::nullopt;
    }
}

} // namespace

MCPServer::MCPServer(ToolRegistry& tools, ResourceManager& resources, PromptManager& prompts, SettingsManager& settings,
                     StatisticsManager& statistics, ActivityLog& activityLog, StdioTransport& transport, QObject* parent)
    : QObject(parent)
    , m_tools(tools)
    , m_resources(resources)
    , m_prompts(prompts)
    , m_settings(settings)
    , m_statistics(statistics)
    , m_activityLog(activityLog)
    , m_transport(transport)
    , m_queue([this](QByteArray line) { return handleMessage(std::move(line)); })
{
    connect(&m_transport, &StdioTransport::lineReceived, &m_queue, &RequestQueue::enqueue);
    connect(&m_transport, &StdioTransport::inputEnded, &m_queue, &RequestQueue::noteInputEnded);
    connect(&m_queue, &RequestQueue::finished, this, &MCPServer::inputFinished);
    connect(&m_queue, &RequestQueue::requestCancelled, this,
            [this](const QString& method) { addLog(QStringLiteral("Request cancelled: ") + method, LogType::Error); });
    connect(&m_activityLog, &ActivityLog::entryAdded, this, &MCPServer::forwardLogEntry);

    // What changes each subscribable resource.
    connect(&m_subscriptions, &ResourceSubscriptions::updated, this, &MCPServer::sendResourceUpdate);
    // These fire for every request: with nothing subscribed they cost a check and nothing more.
    const auto changed = [this](const char* uri) {
        return [this, uri] {
            if (!m_subscriptions.isEmpty())
                m_subscriptions.resourceChanged(QString::fromLatin1(uri));
        };
    };
    connect(&m_activityLog, &ActivityLog::entriesChanged, this, changed(ResourceManager::kActivityLogUri));
    connect(&m_statistics, &StatisticsManager::statisticsChanged, this, changed(ResourceManager::kStatisticsUri));
    connect(this, &MCPServer::isRunningChanged, this, changed(ResourceManager::kServerStatusUri));
    connect(this, &MCPServer::connectionCountChanged, this, changed(ResourceManager::kServerStatusUri));
    connect(&m_settings, &SettingsManager::settingsChanged, this, changed(ResourceManager::kServerStatusUri));
}

MCPServer::~MCPServer() = default;

void MCPServer::start()
{
    if (m_isRunning)
        return;
    m_isRunning = true;
    Q_EMIT isRunningChanged();
    qCInfo(lcServer, "MCP Server started");
    addLog(QStringLiteral("Server started"), LogType::Info);
    m_statistics.startSession();

    if (!m_transport.inputIsTerminal()) {
        startStdinListener();
    } else {
        qCInfo(lcServer, "Running in GUI mode - stdin listener not started");
        addLog(QStringLiteral("Server ready (GUI mode - connect via command line for MCP protocol)"), LogType::Info);
    }
}

void MCPServer::stop()
{
    if (!m_isRunning)
        return;
    m_isRunning = false;
    Q_EMIT isRunningChanged();
    m_transport.stop();
    m_queue.close();
    qCInfo(lcServer, "MCP Server stopped");
    addLog(QStringLiteral("Server stopped"), LogType::Info);
    m_statistics.endSession();
}

void MCPServer::startStdinListener()
{
    m_queue.open();
    // A new reader is a new conversation: what the last client asked for does not carry over.
    m_clientLogSeverity.reset();
    m_subscriptions.clear();
    m_transport.start();
}

void MCPServer::sendNotification(const std::string& method, Json params)
{
    if (!m_isRunning || !m_transport.isReading())
        return;
    std::string line = JsonWriter::compact(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
    QString error;
    if (!m_transport.sendLine(line, &error))
        qCCritical(lcServer, "Failed to send response: %s", qPrintable(error));
}

void MCPServer::forwardLogEntry(const ActivityLogEntry& entry)
{
    if (!m_clientLogSeverity)
        return;
    const int severity = entry.type == LogType::Error ? kErrorSeverity : kInfoSeverity;
    if (severity < *m_clientLogSeverity)
        return;
    sendNotification(
        "notifications/message",
        Json{{"level", kLogSeverities[static_cast<std::size_t>(severity)]}, {"logger", "zarnel"}, {"data", entry.message.toStdString()}});
}

void MCPServer::sendResourceUpdate(const QString& uri)
{
    sendNotification("notifications/resources/updated", Json{{"uri", uri.toStdString()}});
}

QCoro::Task<> MCPServer::handleMessage(QByteArray line)
{
    QPointer<MCPServer> self(this);
    std::string error;
    std::optional<JSONRPCRequest> request;
    if (auto parsed = json::parse(std::string_view(line.constData(), static_cast<std::size_t>(line.size())), &error)) {
        try {
            request = JSONRPCRequest::fromJson(*parsed);
        } catch (const DecodingError& failure) {
            error = failure.description();
        }
    }
    if (!request) {
        qCCritical(lcServer, "Error decoding message: %s", Log::clip(error).c_str());
        qCDebug(lcServer, "Malformed message: %s", Log::clip(line.toStdString()).c_str());
        sendResponse(JSONRPCResponse::failure(std::nullopt, JSONRPCError::parseError));
        co_return;
    }

    const bool notification = request->isNotification();
    if (!notification)
        m_queue.begin(*request->id, request->method);
    JSONRPCResponse response = co_await handleRequest(std::move(*request));
    if (!self)
        co_return;
    const bool cancelled = m_queue.finish();
    // JSON-RPC 2.0: a notification is never answered, whatever its method; a client that
    // cancelled a request no longer wants its answer.
    if (!notification && !cancelled)
        sendResponse(response);
}

bool MCPServer::sendResponse(const JSONRPCResponse& response)
{
    std::string line = response.serialize();
    QString error;
    if (!m_transport.sendLine(line, &error)) {
        qCCritical(lcServer, "Failed to send response: %s", qPrintable(error));
        return false;
    }
    return true;
}

void MCPServer::addLog(const QString& message, LogType type)
{
    m_activityLog.add(message, type);
}

QCoro::Task<JSONRPCResponse> MCPServer::handleRequest(JSONRPCRequest request)
{
    const std::string& method = request.method;
    qCInfo(lcServer, "Received request: %s", Log::clip(method).c_str());
    addLog(QStringLiteral("Request: ") + qs(method), LogType::Request);
    m_statistics.recordRequest();

    if (method == "initialize")
        co_return handleInitialize(request);
    if (method == "tools/list")
        co_return handleToolsList(request);
    if (method == "tools/call")
        co_return co_await handleToolsCall(std::move(request));
    if (method == "resources/list")
        co_return handleResourcesList(request);
    if (method == "resources/read")
        co_return co_await handleResourcesRead(std::move(request));
    if (method == "prompts/list")
        co_return handlePromptsList(request);
    if (method == "prompts/get")
        co_return co_await handlePromptsGet(std::move(request));
    if (method == "ping")
        co_return JSONRPCResponse::success(request.id, Json::object());
    if (method == "logging/setLevel")
        co_return handleLoggingSetLevel(request);
    if (method == "resources/templates/list")
        co_return handleResourceTemplatesList(request);
    if (method == "resources/subscribe")
        co_return handleResourceSubscription(request, true);
    if (method == "resources/unsubscribe")
        co_return handleResourceSubscription(request, false);
    co_return JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound);
}

JSONRPCResponse MCPServer::handleInitialize(const JSONRPCRequest& request)
{
    if (!request.params)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    const auto initialize = decodeParams<MCPInitializeRequest>(request, &error);
    if (!initialize) {
        qCCritical(lcServer, "Initialize error: %s", Log::clip(error).c_str());
        return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }

    const ClientInfo& client = initialize->clientInfo;
    m_clientInfo = client;
    m_initialized = true;
    Q_EMIT clientInfoChanged();
    qCInfo(lcServer, "Initialized with client: %s v%s", Log::clip(client.name).c_str(), Log::clip(client.version).c_str());
    addLog(QStringLiteral("Connected: %1 v%2").arg(qs(client.name), qs(client.version)), LogType::Info);
    ++m_connectionCount;
    Q_EMIT connectionCountChanged();
    m_statistics.recordConnection(qs(client.name), qs(client.version));

    MCPInitializeResponse result;
    result.protocolVersion = kProtocolVersion;
    result.capabilities.tools = ListChangedCapability{true};
    result.capabilities.resources = ResourcesCapability{true, true};
    result.capabilities.prompts = ListChangedCapability{true};
    result.capabilities.logging = true;
    result.serverInfo = ServerInfo{kServerName, kServerVersion};
    return JSONRPCResponse::success(request.id, result.toJson());
}

JSONRPCResponse MCPServer::handleToolsList(const JSONRPCRequest& request)
{
    if (!m_toolsListResult || m_toolsListGeneration != m_tools.generation()) {
        Json tools = Json::array();
        for (const auto& tool : m_tools.listTools())
            tools.push_back(tool.toJson());
        m_toolsListResult = std::make_shared<const std::string>(JsonWriter::compact(Json{{"tools", std::move(tools)}}));
        m_toolsListGeneration = m_tools.generation();
    }
    JSONRPCResponse response;
    response.id = request.id;
    response.serializedResult = m_toolsListResult;
    return response;
}

QCoro::Task<JSONRPCResponse> MCPServer::handleToolsCall(JSONRPCRequest request)
{
    if (!request.params)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    auto call = decodeParams<MCPToolCallRequest>(request, &error);
    if (!call) {
        qCCritical(lcServer, "Tool call error: %s", Log::clip(error).c_str());
        addLog(QStringLiteral("Tool call failed: ") + qs(error), LogType::Error);
        m_statistics.recordError();
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }

    QPointer<MCPServer> self(this);
    const QString name = qs(call->name);
    qCInfo(lcServer, "Executing tool: %s", Log::clip(call->name).c_str());
    addLog(QStringLiteral("Tool call: ") + name, LogType::ToolCall);
    QElapsedTimer elapsed;
    elapsed.start();
    const CancellationToken cancellation = m_queue.currentCancellation();
    const bool known = m_tools.tool(call->name) != nullptr;
    Arguments arguments = call->arguments.value_or(Arguments{});
    std::optional<MCPToolCallResponse> refusal;
    if (m_confirmationGate && m_confirmationGate->applies(call->name)) {
        QCoro::Task<std::optional<MCPToolCallResponse>> admitting = m_confirmationGate->admit(call->name, arguments, cancellation);
        refusal = co_await admitting;
        if (!self)
            co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }
    MCPToolCallResponse result;
    if (refusal)
        result = std::move(*refusal);
    else
        result = co_await m_tools.executeTool(call->name, std::move(arguments), cancellation);
    if (!self)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    const double duration = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;

    if (!known) {
        // Per-tool usage is kept for our tools only: names made up by a client would otherwise
        // be stored for good, however many and however long.
        m_statistics.recordUnknownToolCall(name, duration);
        addLog(QStringLiteral("Tool error: ") + name, LogType::Error);
    } else if (cancellation.isCancelled()) {
        // The cancellation wrote its own entry; the call counts as failed.
        m_statistics.recordToolCall(name, duration, false);
    } else if (result.failed()) {
        m_statistics.recordToolCall(name, duration, false);
        addLog(QStringLiteral("Tool error: ") + name, LogType::Error);
    } else {
        m_statistics.recordToolCall(name, duration, true);
        addLog(QStringLiteral("Tool success: ") + name, LogType::Success);
    }
    co_return JSONRPCResponse::success(request.id, std::move(result).toJson());
}

JSONRPCResponse MCPServer::handleResourcesList(const JSONRPCRequest& request)
{
    qCInfo(lcServer, "Listing resources");
    addLog(QStringLiteral("Resources list requested"), LogType::Request);
    Json resources = Json::array();
    for (const auto& resource : m_resources.resources())
        resources.push_back(resource.toJson());
    return JSONRPCResponse::success(request.id, Json{{"resources", std::move(resources)}});
}

QCoro::Task<JSONRPCResponse> MCPServer::handleResourcesRead(JSONRPCRequest request)
{
    if (!request.params)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    const auto read = decodeParams<MCPResourceReadRequest>(request, &error);
    if (!read) {
        qCCritical(lcServer, "Resource read error: %s", Log::clip(error).c_str());
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    }

    QPointer<MCPServer> self(this);
    const QString uri = qs(read->uri);
    qCInfo(lcServer, "Reading resource: %s", Log::clip(read->uri).c_str());
    addLog(QStringLiteral("Resource read: ") + uri, LogType::Request);
    ResourceReadResult outcome = co_await m_resources.readResource(uri);
    if (!self)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);

    if (const auto* failure = std::get_if<MCPResourceError>(&outcome)) {
        qCCritical(lcServer, "Resource read error: %s", qPrintable(Log::clip(failure->description)));
        addLog(QStringLiteral("Resource read failed: ") + failure->description, LogType::Error);
        co_return JSONRPCResponse::failure(request.id,
                                           JSONRPCError{JSONRPCError::kResourceError, failure->description.toStdString(), std::nullopt});
    }
    // Each item also names what it is the contents of: clients match contents to resources by
    // "uri" and reject items without one.
    Json result = MCPResourceReadResponse{std::move(std::get<std::vector<MCPContent>>(outcome))}.toJson();
    const std::string mimeType = m_resources.mimeTypeFor(uri).toStdString();
    for (Json& item : result["contents"]) {
        item["uri"] = read->uri;
        item["mimeType"] = mimeType;
    }
    co_return JSONRPCResponse::success(request.id, std::move(result));
}

JSONRPCResponse MCPServer::handlePromptsList(const JSONRPCRequest& request)
{
    qCInfo(lcServer, "Listing prompts");
    addLog(QStringLiteral("Prompts list requested"), LogType::Request);
    Json prompts = Json::array();
    for (const auto& prompt : m_prompts.prompts())
        prompts.push_back(prompt.toJson());
    return JSONRPCResponse::success(request.id, Json{{"prompts", std::move(prompts)}});
}

QCoro::Task<JSONRPCResponse> MCPServer::handlePromptsGet(JSONRPCRequest request)
{
    if (!request.params)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    auto get = decodeParams<MCPPromptGetRequest>(request, &error);
    if (!get) {
        qCCritical(lcServer, "Prompt get error: %s", Log::clip(error).c_str());
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    }

    QPointer<MCPServer> self(this);
    const QString name = qs(get->name);
    qCInfo(lcServer, "Getting prompt: %s", Log::clip(get->name).c_str());
    addLog(QStringLiteral("Prompt get: ") + name, LogType::Request);
    PromptGetResult outcome = co_await m_prompts.getPrompt(name, get->arguments.value_or(Json::object_t{}));
    if (!self)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);

    if (const auto* failure = std::get_if<MCPPromptError>(&outcome)) {
        qCCritical(lcServer, "Prompt get error: %s", qPrintable(Log::clip(failure->description)));
        addLog(QStringLiteral("Prompt get failed: ") + failure->description, LogType::Error);
        co_return JSONRPCResponse::failure(request.id,
                                           JSONRPCError{JSONRPCError::kPromptError, failure->description.toStdString(), std::nullopt});
    }
    MCPPromptGetResponse result{std::move(std::get<std::vector<MCPPromptMessage>>(outcome))};
    co_return JSONRPCResponse::success(request.id, result.toJson());
}

JSONRPCResponse MCPServer::handleLoggingSetLevel(const JSONRPCRequest& request)
{
    const Json* level =
        request.params && request.params->is_object() && request.params->contains("level") ? &(*request.params)["level"] : nullptr;
    const auto severity = level && level->is_string() ? severityOf(level->get<std::string>()) : std::nullopt;
    if (!severity)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    m_clientLogSeverity = severity;
    return JSONRPCResponse::success(request.id, Json::object());
}

JSONRPCResponse MCPServer::handleResourceTemplatesList(const JSONRPCRequest& request)
{
    Json localFile = {{"uriTemplate", "file:///{path}"},
                      {"name", "Local file"},
                      {"description", "Any readable UTF-8 text file on this machine"},
                      {"mimeType", "text/plain"}};
    return JSONRPCResponse::success(request.id, Json{{"resourceTemplates", Json::array({std::move(localFile)})}});
}

JSONRPCResponse MCPServer::handleResourceSubscription(const JSONRPCRequest& request, bool subscribe)
{
    if (!request.params)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    const auto target = decodeParams<MCPResourceReadRequest>(request, &error);
    if (!target)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    const QString uri = qs(target->uri);
    const auto filePath = ResourceManager::filePathForUri(uri);
    if (!m_resources.isKnownUri(uri) && !filePath) {
        const MCPResourceError failure{QStringLiteral("Resource not found: ") + uri};
        return JSONRPCResponse::failure(request.id,
                                        JSONRPCError{JSONRPCError::kResourceError, failure.description.toStdString(), std::nullopt});
    }
    if (subscribe)
        m_subscriptions.subscribe(uri, filePath.value_or(QString()));
    else
        m_subscriptions.unsubscribe(uri);
    return JSONRPCResponse::success(request.id, Json::object());
}

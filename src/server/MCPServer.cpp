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
#include "server/ActivityLog.h"
#include "server/StdioTransport.h"
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

// Decodes a request's params into the record of its method; no params is reported as such.
template <typename Record>
std::optional<Record> decodeParams(const JSONRPCRequest& request, std::string* error)
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
{
    connect(&m_transport, &StdioTransport::lineReceived, this, &MCPServer::enqueueLine);
    connect(&m_transport, &StdioTransport::inputEnded, this, &MCPServer::noteInputEnded);
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
    m_pendingLines.clear();
    qCInfo(lcServer, "MCP Server stopped");
    addLog(QStringLiteral("Server stopped"), LogType::Info);
    m_statistics.endSession();
}

void MCPServer::startStdinListener()
{
    m_pendingLines.clear();
    m_inputEnded = false;
    m_transport.start();
}

void MCPServer::enqueueLine(const QByteArray& line)
{
    m_pendingLines.push_back(line);
    if (!m_processing)
        processPendingLines();
}

void MCPServer::noteInputEnded()
{
    m_inputEnded = true;
    if (!m_processing)
        Q_EMIT inputFinished();
}

QCoro::Task<> MCPServer::processPendingLines()
{
    // The one place requests are taken: the next line waits until the previous answer is out.
    QPointer<MCPServer> self(this);
    m_processing = true;
    while (!m_pendingLines.empty() && m_isRunning) {
        QByteArray line = std::move(m_pendingLines.front());
        m_pendingLines.pop_front();
        co_await handleMessage(std::move(line));
        if (!self)
            co_return;
    }
    m_processing = false;
    if (m_inputEnded && m_pendingLines.empty())
        Q_EMIT inputFinished();
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
        qCCritical(lcServer, "Error decoding message: %s", error.c_str());
        qCDebug(lcServer, "Malformed message: %s", line.constData());
        sendResponse(JSONRPCResponse::failure(std::nullopt, JSONRPCError::parseError));
        co_return;
    }

    const bool notification = request->isNotification();
    JSONRPCResponse response = co_await handleRequest(std::move(*request));
    if (!self)
        co_return;
    // JSON-RPC 2.0: a notification is never answered, whatever its method.
    if (!notification)
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
    qCInfo(lcServer, "Received request: %s", method.c_str());
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
    co_return JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound);
}

JSONRPCResponse MCPServer::handleInitialize(const JSONRPCRequest& request)
{
    if (!request.params)
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    const auto initialize = decodeParams<MCPInitializeRequest>(request, &error);
    if (!initialize) {
        qCCritical(lcServer, "Initialize error: %s", error.c_str());
        return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }

    const ClientInfo& client = initialize->clientInfo;
    m_clientInfo = client;
    m_initialized = true;
    Q_EMIT clientInfoChanged();
    qCInfo(lcServer, "Initialized with client: %s v%s", client.name.c_str(), client.version.c_str());
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
        qCCritical(lcServer, "Tool call error: %s", error.c_str());
        addLog(QStringLiteral("Tool call failed: ") + qs(error), LogType::Error);
        m_statistics.recordError();
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }

    QPointer<MCPServer> self(this);
    const QString name = qs(call->name);
    qCInfo(lcServer, "Executing tool: %s", call->name.c_str());
    addLog(QStringLiteral("Tool call: ") + name, LogType::ToolCall);
    QElapsedTimer elapsed;
    elapsed.start();
    MCPToolCallResponse result = co_await m_tools.executeTool(call->name, call->arguments.value_or(Arguments{}));
    if (!self)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    const double duration = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;

    if (result.failed()) {
        m_statistics.recordToolCall(name, duration, false);
        addLog(QStringLiteral("Tool error: ") + name, LogType::Error);
    } else {
        m_statistics.recordToolCall(name, duration, true);
        addLog(QStringLiteral("Tool success: ") + name, LogType::Success);
    }
    co_return JSONRPCResponse::success(request.id, result.toJson());
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
        qCCritical(lcServer, "Resource read error: %s", error.c_str());
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    }

    QPointer<MCPServer> self(this);
    const QString uri = qs(read->uri);
    qCInfo(lcServer, "Reading resource: %s", read->uri.c_str());
    addLog(QStringLiteral("Resource read: ") + uri, LogType::Request);
    ResourceReadResult outcome = co_await m_resources.readResource(uri);
    if (!self)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);

    if (const auto* failure = std::get_if<MCPResourceError>(&outcome)) {
        qCCritical(lcServer, "Resource read error: %s", qPrintable(failure->description));
        addLog(QStringLiteral("Resource read failed: ") + failure->description, LogType::Error);
        co_return JSONRPCResponse::failure(request.id, JSONRPCError{JSONRPCError::kResourceError, failure->description.toStdString(), std::nullopt});
    }
    MCPResourceReadResponse result{std::move(std::get<std::vector<MCPContent>>(outcome))};
    co_return JSONRPCResponse::success(request.id, result.toJson());
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
        qCCritical(lcServer, "Prompt get error: %s", error.c_str());
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    }

    QPointer<MCPServer> self(this);
    const QString name = qs(get->name);
    qCInfo(lcServer, "Getting prompt: %s", get->name.c_str());
    addLog(QStringLiteral("Prompt get: ") + name, LogType::Request);
    PromptGetResult outcome = co_await m_prompts.getPrompt(name, get->arguments.value_or(Json::object_t{}));
    if (!self)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);

    if (const auto* failure = std::get_if<MCPPromptError>(&outcome)) {
        qCCritical(lcServer, "Prompt get error: %s", qPrintable(failure->description));
        addLog(QStringLiteral("Prompt get failed: ") + failure->description, LogType::Error);
        co_return JSONRPCResponse::failure(request.id, JSONRPCError{JSONRPCError::kPromptError, failure->description.toStdString(), std::nullopt});
    }
    MCPPromptGetResponse result{std::move(std::get<std::vector<MCPPromptMessage>>(outcome))};
    co_return JSONRPCResponse::success(request.id, result.toJson());
}

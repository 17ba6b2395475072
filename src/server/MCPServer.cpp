#include "server/MCPServer.h"

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "platform/processes/Log.h"
#include "protocol/AnyCodable.h"
#include "protocol/DecodingError.h"
#include "protocol/JsonWriter.h"
#include "protocol/MCPResource.h"
#include "server/ClientQuestions.h"
#include "server/ClientRoots.h"
#include "server/ClientSession.h"
#include "server/CompletionProvider.h"
#include "server/ListenStreams.h"
#include "server/MethodHandlers.h"
#include "server/ProgressReporter.h"
#include "server/RequestContext.h"
#include "server/RequestQueue.h"
#include "server/ServerLogLevels.h"
#include "server/StatelessRequests.h"
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
    , m_session(ServerInfo{kServerName, kServerVersion})
    , m_queue([this](QByteArray line) { return handleMessage(std::move(line)); },
              [this](JSONRPCRequest ping) { return answerOutOfTurn(std::move(ping)); })
    , m_questions(std::make_unique<ClientQuestions>([this](const std::string& line) { return sendLine(line); }))
    , m_roots(std::make_unique<ClientRoots>([this](const std::string& line) { return sendLine(line); }))
    , m_completions(std::make_unique<CompletionProvider>(prompts))
    , m_handlers(std::make_unique<MethodHandlers>(tools, resources, prompts, statistics, activityLog, *m_completions))
    , m_stateless(std::make_unique<StatelessRequests>())
    , m_listens(std::make_unique<ListenStreams>(
          resources, [this](const std::string& method, Json params) { sendNotification(method, std::move(params)); }))
{
    connect(&m_transport, &StdioTransport::lineReceived, this, &MCPServer::takeLine);
    connect(&m_transport, &StdioTransport::inputEnded, this, [this] {
        // No answer can come any more.
        m_questions->cancelAll();
        m_queue.noteInputEnded();
    });
    connect(&m_transport, &StdioTransport::clientGone, this, [this] {
        m_questions->cancelAll();
        m_queue.abandon();
    });
    connect(&m_queue, &RequestQueue::finished, this, &MCPServer::inputFinished);
    // Reading goes on once half of what may wait has gone (a held queue reads on at the start).
    connect(&m_queue, &RequestQueue::roomMade, this, [this] {
        if (m_transport.isPaused() && !m_queue.isHeld() && m_queue.pendingBytes() <= m_transport.maxLineBytes() / 2)
            m_transport.resume();
    });
    connect(&m_queue, &RequestQueue::requestCancelled, this,
            [this](const QString& method) { addLog(QStringLiteral("Request cancelled: ") + method, LogType::Error); });
    connect(&m_queue, &RequestQueue::requestHeld, this, &MCPServer::noteAnnouncedClient);
    connect(&m_queue, &RequestQueue::isWaitingChanged, this, &MCPServer::noteWaitingChanged);
    connect(&m_activityLog, &ActivityLog::entryAdded, this, &MCPServer::forwardLogEntry);

    // What changes each subscribable resource.
    connect(&m_subscriptions, &ResourceSubscriptions::updated, this, &MCPServer::sendResourceUpdate);
    // These fire for every request: with nothing subscribed they cost a check and nothing more.
    const auto changed = [this](const char* uri) {
        return [this, uri] {
            if (!m_subscriptions.isEmpty())
                m_subscriptions.resourceChanged(QString::fromLatin1(uri));
            if (!m_listens->isEmpty())
                m_listens->subscriptions().resourceChanged(QString::fromLatin1(uri));
        };
    };
    connect(&m_activityLog, &ActivityLog::entriesChanged, this, changed(ResourceManager::kActivityLogUri));
    connect(&m_statistics, &StatisticsManager::statisticsChanged, this, changed(ResourceManager::kStatisticsUri));
    connect(this, &MCPServer::isRunningChanged, this, changed(ResourceManager::kServerStatusUri));
    connect(this, &MCPServer::connectionCountChanged, this, changed(ResourceManager::kServerStatusUri));
    connect(&m_settings, &SettingsManager::settingsChanged, this, changed(ResourceManager::kServerStatusUri));
}

MCPServer::~MCPServer() = default;

ResourceSubscriptions& MCPServer::listenSubscriptions()
{
    return m_listens->subscriptions();
}

void MCPServer::start()
{
    if (m_isRunning)
        return;
    m_isRunning = true;
    Q_EMIT isRunningChanged();
    qCInfo(lcServer, "MCP Server started");
    addLog(QStringLiteral("Server started"), LogType::Info);
    m_statistics.startSession();

    if (m_readsWhileStopped && m_transport.isReading()) {
        // The same conversation goes on: what waited is answered first.
        m_queue.setHeld(false);
        m_transport.resume();
    } else if (!m_transport.inputIsTerminal()) {
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
    if (m_readsWhileStopped && m_transport.isReading()) {
        m_queue.setHeld(true);
    } else {
        m_transport.stop();
        m_queue.close();
    }
    m_questions->cancelAll();
    m_listens->clear();
    qCInfo(lcServer, "MCP Server stopped");
    addLog(QStringLiteral("Server stopped"), LogType::Info);
    m_statistics.endSession();
}

void MCPServer::startStdinListener()
{
    m_queue.open();
    // A new reader is a new conversation: what the last client asked for does not carry over.
    m_session.startOver();
    m_roots->forget();
    m_subscriptions.clear();
    m_listens->clear();
    m_transport.start();
}

void MCPServer::keepReadingWhileStopped()
{
    m_readsWhileStopped = true;
    if (m_isRunning || m_transport.isReading() || m_transport.inputIsTerminal())
        return;
    m_queue.open();
    m_queue.setHeld(true);
    m_transport.start();
}

void MCPServer::takeLine(const QByteArray& line)
{
    // A response to a question we asked goes to the call waiting for it, which may be the one
    // in progress; everything else waits its turn.
    if (takeClientResponse(line))
        return;
    m_queue.enqueue(line);
    // What waits is kept, held or not, up to a line's limit: a client that writes faster than it
    // is answered waits for room rather than filling our memory.
    if (m_queue.pendingBytes() > m_transport.maxLineBytes())
        m_transport.pause();
}

void MCPServer::noteAnnouncedClient(const JSONRPCRequest& request)
{
    if (clientInfo())
        return;
    std::optional<ClientInfo> named;
    if (request.method == "initialize") {
        try {
            if (request.params && request.params->is_object() && request.params->contains("clientInfo"))
                named = ClientInfo::fromJson(request.params->at("clientInfo"), "params.clientInfo");
        } catch (const DecodingError&) {
        }
    } else {
        named = StatelessRequests::clientOf(request);
    }
    if (named) {
        m_announcedClient = std::move(named);
        Q_EMIT clientInfoChanged();
    }
}

void MCPServer::noteWaitingChanged()
{
    if (m_queue.isWaiting()) {
        const auto& client = clientInfo();
        addLog(client ? QStringLiteral("Client waiting: %1 v%2").arg(qs(client->name), qs(client->version))
                      : QStringLiteral("Client waiting: an unnamed client"),
               LogType::Info);
    }
    Q_EMIT isWaitingChanged();
}

bool MCPServer::takeClientResponse(const QByteArray& line)
{
    // Requests and notifications name their method; a response does not. A cheap look first.
    if (viewOf(line).find("\"method\"") != std::string_view::npos)
        return false;
    const auto parsed = json::parse(viewOf(line));
    return parsed && (m_roots->takeResponse(*parsed) || m_questions->takeResponse(*parsed));
}

void MCPServer::setConfirmationGate(ConfirmationGate* gate)
{
    m_handlers->setConfirmationGate(gate);
}

void MCPServer::setHistoryRecorder(HistoryRecorder* history)
{
    m_handlers->setHistory(history, [this]() -> const ClientInfo* { return clientInfo() ? &*clientInfo() : nullptr; });
}

void MCPServer::sendNotification(const std::string& method, Json params)
{
    sendLine(JsonWriter::compact(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}));
}

bool MCPServer::sendLine(const std::string& line)
{
    if (!m_isRunning || !m_transport.isReading())
        return false;
    std::string text = line;
    QString error;
    if (!m_transport.sendLine(text, &error)) {
        qCCritical(lcServer, "Failed to send response: %s", qPrintable(error));
        return false;
    }
    return true;
}

void MCPServer::forwardLogEntry(const ActivityLogEntry& entry)
{
    // A stateless request sees the entries written while it runs, at the level it asked for;
    // a session sees everything at the level it set.
    const RequestContext* current = m_questions->currentRequest();
    const std::optional<int> wanted = current && current->isModern() ? current->logSeverity : m_session.logSeverity();
    if (!wanted)
        return;
    const int severity = entry.type == LogType::Error ? ServerLogLevels::kError : ServerLogLevels::kInfo;
    if (severity < *wanted)
        return;
    sendNotification("notifications/message",
                     Json{{"level", ServerLogLevels::name(severity)}, {"logger", "zarnel"}, {"data", entry.message.toStdString()}});
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
    if (auto parsed = json::parse(viewOf(line), &error)) {
        // Batches belong to 2025-03-26 alone; later revisions call an array an invalid request,
        // and 2024-11-05 keeps answering it as it always did, with the parse error.
        if (parsed->is_array() && m_session.negotiatedRevision() == ProtocolRevision::V2025_03_26) {
            co_await handleBatch(std::move(*parsed));
            co_return;
        }
        if (parsed->is_array() && m_session.negotiatedRevision() > ProtocolRevision::V2025_03_26) {
            sendResponse(JSONRPCResponse::failure(std::nullopt, JSONRPCError::invalidRequest));
            co_return;
        }
        try {
            request = JSONRPCRequest::fromJson(std::move(*parsed));
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

    QCoro::Task<std::optional<JSONRPCResponse>> answering = answer(std::move(*request));
    const std::optional<JSONRPCResponse> response = co_await answering;
    if (self && response)
        sendResponse(*response);
}

QCoro::Task<std::optional<JSONRPCResponse>> MCPServer::answer(JSONRPCRequest request)
{
    QPointer<MCPServer> self(this);
    const bool notification = request.isNotification();
    if (!notification)
        m_queue.begin(*request.id, request.method);
    JSONRPCResponse response = co_await handleRequest(std::move(request));
    if (!self)
        co_return std::nullopt;
    const bool cancelled = !notification && m_queue.finish();
    // JSON-RPC 2.0: a notification is never answered, whatever its method; a client that
    // cancelled a request no longer wants its answer; a listen stays open without one.
    if (notification || cancelled || !response.hasAnswer())
        co_return std::nullopt;
    co_return response;
}

QCoro::Task<> MCPServer::handleBatch(Json batch)
{
    QPointer<MCPServer> self(this);
    if (batch.empty()) {
        sendResponse(JSONRPCResponse::failure(std::nullopt, JSONRPCError::invalidRequest));
        co_return;
    }
    std::vector<JSONRPCResponse> responses;
    for (Json& element : batch) {
        std::optional<JSONRPCRequest> request;
        try {
            request = JSONRPCRequest::fromJson(std::move(element));
        } catch (const DecodingError&) {
        }
        // initialize opens a session; it never travels in a batch.
        if (!request || request->method == "initialize") {
            std::optional<JSONRPCId> id;
            if (request)
                id = request->id;
            responses.push_back(JSONRPCResponse::failure(id, JSONRPCError::invalidRequest));
            continue;
        }
        QCoro::Task<std::optional<JSONRPCResponse>> answering = answer(std::move(*request));
        std::optional<JSONRPCResponse> response = co_await answering;
        if (!self)
            co_return;
        if (response)
            responses.push_back(std::move(*response));
    }
    if (responses.empty())
        co_return;
    std::string line = "[";
    for (const JSONRPCResponse& response : responses) {
        if (line.size() > 1)
            line += ',';
        line += response.serialize();
    }
    line += ']';
    sendLine(line);
}

bool MCPServer::sendResponse(const JSONRPCResponse& response)
{
    // A large result (a file's contents) goes out as it is written instead of being held whole
    // once more; the line is written in one piece when it is small.
    QString error;
    bool sent = true;
    std::string& line = m_responseBuffer;
    line.clear();
    response.serialize(line, [&](std::string& part) {
        sent = sent && m_transport.sendPart(part, &error);
        part.clear();
    });
    sent = sent && m_transport.sendLine(line, &error);
    if (line.capacity() > 2 * JsonWriter::kDrainBytes)
        std::string().swap(line);
    if (!sent) {
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

    // Whatever envelope it carries: the queue has stopped the request it names, if it was one;
    // an open listen ends here.
    if (method == "notifications/cancelled") {
        m_listens->closeCancelled(request);
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound);
    }
    // A client that works in folders of its own says so; they narrow where its tools may go.
    if (!request.id && (method == "notifications/initialized" || method == "notifications/roots/list_changed")
        && m_session.capabilities().contains("roots"))
        m_roots->ask();

    RequestContext context;
    context.id = request.id;
    context.method = method;
    if (request.id)
        context.cancellation = m_queue.currentCancellation();
    if (StatelessRequests::carriesEnvelope(request)) {
        if (auto refused = m_stateless->prepare(request, context))
            co_return std::move(*refused);
        if (!m_statelessClient && !m_session.client()) {
            if (auto client = StatelessRequests::clientOf(request)) {
                m_statelessClient = std::move(client);
                noteConnected(*m_statelessClient);
            }
        }
    } else {
        context.revision = m_session.revision();
        context.clientCapabilities = m_session.capabilities();
        context.progressToken = ProgressReporter::tokenOf(request);
    }
    co_return co_await handleInContext(std::move(request), context);
}

QCoro::Task<JSONRPCResponse> MCPServer::handleInContext(JSONRPCRequest request, RequestContext& context)
{
    QPointer<MCPServer> self(this);
    // The request in flight, for the questions its tool may ask and the log lines it may see.
    RequestContext* outer = m_questions->currentRequest();
    m_questions->setCurrentRequest(&context);
    std::unique_ptr<ProgressReporter> progress;
    if (context.progressToken) {
        progress =
            std::make_unique<ProgressReporter>(*context.progressToken, Revision::hasProgressMessage(context.revision),
                                               [this](Json params) { sendNotification("notifications/progress", std::move(params)); });
        progress->follow(context.cancellation);
    }

    JSONRPCResponse response;
    if (context.isModern())
        response = co_await handleStateless(std::move(request), context);
    else if (request.method == "initialize")
        response = handleInitialize(request);
    else if (request.method == "ping")
        response = JSONRPCResponse::success(request.id, Json::object());
    else if (request.method == "logging/setLevel")
        response = m_session.setLogLevel(request);
    else if (request.method == "resources/subscribe" || request.method == "resources/unsubscribe")
        response = handleResourceSubscription(request, request.method == "resources/subscribe");
    else if (MethodHandlers::handles(request.method, context.revision))
        response = co_await m_handlers->handle(std::move(request), context);
    else
        response = JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound);

    if (!self)
        co_return response;
    if (progress)
        progress->finish();
    m_questions->setCurrentRequest(outer);
    co_return response;
}

QCoro::Task<JSONRPCResponse> MCPServer::handleStateless(JSONRPCRequest request, RequestContext& context)
{
    if (request.method == "server/discover") {
        JSONRPCResponse response = m_stateless->discover(request);
        m_stateless->finish(response, request, context);
        co_return response;
    }
    if (request.method == "subscriptions/listen") {
        if (!request.id)
            co_return JSONRPCResponse{};
        if (auto refused = m_listens->open(request))
            co_return JSONRPCResponse::failure(request.id, std::move(*refused));
        JSONRPCResponse open;
        open.id = request.id;
        co_return open;
    }
    QPointer<MCPServer> self(this);
    const JSONRPCRequest signedPart = StatelessRequests::signedPart(request);
    JSONRPCResponse response = co_await m_handlers->handle(std::move(request), context);
    if (self)
        m_stateless->finish(response, signedPart, context);
    co_return response;
}

JSONRPCResponse MCPServer::handleInitialize(const JSONRPCRequest& request)
{
    JSONRPCResponse response = m_session.initialize(request);
    if (response.error)
        return response;
    noteConnected(*m_session.client());
    return response;
}

void MCPServer::noteConnected(const ClientInfo& client)
{
    Q_EMIT clientInfoChanged();
    addLog(QStringLiteral("Connected: %1 v%2").arg(qs(client.name), qs(client.version)), LogType::Info);
    ++m_connectionCount;
    Q_EMIT connectionCountChanged();
    m_statistics.recordConnection(qs(client.name), qs(client.version));
}

QCoro::Task<> MCPServer::answerOutOfTurn(JSONRPCRequest request)
{
    // Not through answer(): the queue's request in progress stays the one a cancellation names.
    QPointer<MCPServer> self(this);
    QCoro::Task<JSONRPCResponse> answering = handleRequest(std::move(request));
    const JSONRPCResponse response = co_await answering;
    if (self)
        sendResponse(response);
}

JSONRPCResponse MCPServer::handleResourceSubscription(const JSONRPCRequest& request, bool subscribe)
{
    const auto* params = request.params && request.params->is_object() ? &*request.params : nullptr;
    const Json uriValue = params ? params->value("uri", Json()) : Json();
    if (!uriValue.is_string())
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    const QString uri = qs(uriValue.get<std::string>());
    const auto filePath = ResourceManager::filePathForUri(uri);
    if (!m_resources.isKnownUri(uri) && !filePath) {
        const MCPResourceError failure = MCPResourceError::resourceNotFound(uri);
        return JSONRPCResponse::failure(
            request.id, MethodHandlers::resourceError(m_session.revision(), failure.description, true, uriValue.get<std::string>()));
    }
    // Changes of a file the assistant may not read are none of its business either.
    if (const auto refused = subscribe && filePath ? m_resources.fileRefusal(*filePath) : std::nullopt)
        return JSONRPCResponse::failure(request.id, JSONRPCError{JSONRPCError::invalidParams.code, refused->toStdString(), std::nullopt});
    if (subscribe && !m_subscriptions.subscribe(uri, filePath.value_or(QString())))
        return JSONRPCResponse::failure(request.id,
                                        JSONRPCError{JSONRPCError::internalError.code, ResourceSubscriptions::kTooManyText, std::nullopt});
    if (!subscribe)
        m_subscriptions.unsubscribe(uri);
    return JSONRPCResponse::success(request.id, Json::object());
}

#pragma once

#include "Version.h"
#include "catalog/ServerStatus.h"
#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"
#include "protocol/MCPInitialize.h"
#include "protocol/ProtocolRevision.h"
#include "server/ClientSession.h"
#include "server/RequestQueue.h"
#include "server/ResourceSubscriptions.h"
#include "state/ActivityLogEntry.h"

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QString>

#include <optional>

class ActivityLog;
class ClientQuestions;
class ClientRoots;
class CompletionProvider;
class ConfirmationGate;
class HistoryRecorder;
class ListenStreams;
class MethodHandlers;
class PromptManager;
class StatelessRequests;
struct RequestContext;
class ResourceManager;
class SettingsManager;
class StatisticsManager;
class StdioTransport;
class ToolRegistry;

// The MCP server: reads JSON-RPC requests from standard input one line at a time, handles them
// strictly in order, one at a time, and writes one response line for each request.
//
// It speaks every MCP revision from 2024-11-05 to 2026-07-28 at once. A client that sends
// initialize opens a session at the revision negotiated there (a session that never
// initializes is a 2024-11-05 one); a request carrying the stateless envelope in its _meta is
// served under 2026-07-28 on its own (StatelessRequests). Each request is answered under the
// revision it belongs to (MethodHandlers). A tool call in flight can ask the client's user a
// question through clientQuestions().
class MCPServer : public QObject, public ServerStatus {
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(qint64 connectionCount READ connectionCount NOTIFY connectionCountChanged)

public:
    static constexpr const char* kServerName = "Zarnel";
    static constexpr const char* kServerVersion = ZARNEL_VERSION;

    MCPServer(ToolRegistry& tools, ResourceManager& resources, PromptManager& prompts, SettingsManager& settings,
              StatisticsManager& statistics, ActivityLog& activityLog, StdioTransport& transport, QObject* parent = nullptr);
    ~MCPServer() override;

    bool isRunning() const override { return m_isRunning; }
    qint64 connectionCount() const override { return m_connectionCount; }
    bool initialized() const { return m_session.initialized(); }
    // The client this process serves: the one that initialized its session, or the first
    // stateless request's sender; while none has been answered, the one that said who it is in
    // a request that waits.
    const std::optional<ClientInfo>& clientInfo() const
    {
        if (m_session.client())
            return m_session.client();
        return m_statelessClient ? m_statelessClient : m_announcedClient;
    }
    // Whether a client's requests wait for the server to start.
    bool isWaiting() const { return m_queue.isWaiting(); }
    ActivityLog& activityLog() const { return m_activityLog; }
    // The revision the session negotiated; none before initialize.
    std::optional<ProtocolRevision> negotiatedRevision() const { return m_session.negotiatedRevision(); }
    // What the session's client declared at initialize (its "capabilities" object).
    const Json& sessionCapabilities() const { return m_session.capabilities(); }
    // Questions to the user of the client whose request is in flight (the confirmation gate's
    // way to ask); see ClientQuestions.h.
    ClientQuestions& clientQuestions() { return *m_questions; }
    // The folders the client says it works in.
    ClientRoots& clientRoots() { return *m_roots; }

    // Starting while running does nothing; so does stopping while stopped.
    void start();
    void stop();
    // For a client's process: standard input is read from now on, the server started or not.
    // While it is stopped the requests wait, in order and unanswered (pings too), and the
    // client is a waiting one; a start answers them. What waits is bounded: beyond a line's
    // limit, reading pauses until the start, and the client's writes wait in turn.
    void keepReadingWhileStopped();

    // Decodes one line and answers it: the parse error for a line that is not a request,
    // nothing for a notification, the handler's response otherwise.
    QCoro::Task<> handleMessage(QByteArray line);
    // Never fails: every request gets a response.
    QCoro::Task<JSONRPCResponse> handleRequest(JSONRPCRequest request);
    // Writes one response line; false when it could not be written.
    bool sendResponse(const JSONRPCResponse& response);

    void addLog(const QString& message, LogType type);

    // Sends a notification line to the client, if one is connected.
    void sendNotification(const std::string& method, Json params);
    // Writes one line the server originates (a request to the client); false when it could not.
    bool sendLine(const std::string& line);

    // Holds back tool calls that need a person's yes; none by default.
    void setConfirmationGate(ConfirmationGate* gate);
    // Keeps every tool call in the history; none by default.
    void setHistoryRecorder(HistoryRecorder* history);

    // Coalescing of resource updates; tests shorten the interval.
    ResourceSubscriptions& subscriptions() { return m_subscriptions; }
    ResourceSubscriptions& listenSubscriptions();

Q_SIGNALS:
    void isRunningChanged();
    void connectionCountChanged();
    void clientInfoChanged();
    void isWaitingChanged();
    // Standard input has ended and every line read before its end has been answered.
    void inputFinished();

private:
    void startStdinListener();
    void takeLine(const QByteArray& line);
    // A request read while stopped may say who the client is.
    void noteAnnouncedClient(const JSONRPCRequest& request);
    void noteWaitingChanged();
    void forwardLogEntry(const ActivityLogEntry& entry);
    void sendResourceUpdate(const QString& uri);

    bool takeClientResponse(const QByteArray& line);
    QCoro::Task<> handleBatch(Json batch);
    // Handles one request as the one in flight; the response to write, if any.
    QCoro::Task<std::optional<JSONRPCResponse>> answer(JSONRPCRequest request);
    QCoro::Task<JSONRPCResponse> handleInContext(JSONRPCRequest request, RequestContext& context);
    QCoro::Task<JSONRPCResponse> handleStateless(JSONRPCRequest request, RequestContext& context);
    JSONRPCResponse handleInitialize(const JSONRPCRequest& request);
    // A client has made itself known: counted, logged and recorded once.
    void noteConnected(const ClientInfo& client);
    // A ping that arrives while another request is in progress, answered at once.
    QCoro::Task<> answerOutOfTurn(JSONRPCRequest request);
    JSONRPCResponse handleResourceSubscription(const JSONRPCRequest& request, bool subscribe);

    ToolRegistry& m_tools;
    ResourceManager& m_resources;
    PromptManager& m_prompts;
    SettingsManager& m_settings;
    StatisticsManager& m_statistics;
    ActivityLog& m_activityLog;
    StdioTransport& m_transport;
    // Where responses are written before they go out, kept between them: a fresh buffer of a
    // list's size for every answer costs more than the rest of answering it. Large responses
    // leave it in pieces, so it stays small.
    std::string m_responseBuffer;

    bool m_isRunning = false;
    qint64 m_connectionCount = 0;
    ClientSession m_session;
    // A process on standard input serves one client, stateless requests too: the first one that
    // names its sender counts as its connection.
    std::optional<ClientInfo> m_statelessClient;
    // Who a waiting client said it is, before any of its requests was answered.
    std::optional<ClientInfo> m_announcedClient;
    bool m_readsWhileStopped = false;

    // The lines read, answered one at a time in arrival order, their cancellation, and those held
    // while stopped.
    RequestQueue m_queue;

    ResourceSubscriptions m_subscriptions;

    std::unique_ptr<ClientQuestions> m_questions;
    std::unique_ptr<ClientRoots> m_roots;
    std::unique_ptr<CompletionProvider> m_completions;
    std::unique_ptr<MethodHandlers> m_handlers;
    std::unique_ptr<StatelessRequests> m_stateless;
    std::unique_ptr<ListenStreams> m_listens;
};

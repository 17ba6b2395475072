#pragma once

#include "Version.h"
#include "catalog/ServerStatus.h"
#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"
#include "protocol/MCPInitialize.h"
#include "server/RequestQueue.h"
#include "server/ResourceSubscriptions.h"
#include "state/ActivityLogEntry.h"

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QString>

#include <optional>

class ActivityLog;
class ConfirmationGate;
class PromptManager;
class ResourceManager;
class SettingsManager;
class StatisticsManager;
class StdioTransport;
class ToolRegistry;

// The MCP server: reads JSON-RPC requests from standard input one line at a time, handles them
// strictly in order, one at a time, and writes one response line for each request.
class MCPServer : public QObject, public ServerStatus {
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(qint64 connectionCount READ connectionCount NOTIFY connectionCountChanged)

public:
    static constexpr const char* kProtocolVersion = "2024-11-05";
    static constexpr const char* kServerName = "Zarnel";
    static constexpr const char* kServerVersion = ZARNEL_VERSION;

    MCPServer(ToolRegistry& tools, ResourceManager& resources, PromptManager& prompts, SettingsManager& settings,
              StatisticsManager& statistics, ActivityLog& activityLog, StdioTransport& transport, QObject* parent = nullptr);
    ~MCPServer() override;

    bool isRunning() const override { return m_isRunning; }
    qint64 connectionCount() const override { return m_connectionCount; }
    bool initialized() const { return m_initialized; }
    const std::optional<ClientInfo>& clientInfo() const { return m_clientInfo; }
    ActivityLog& activityLog() const { return m_activityLog; }

    // Starting while running does nothing; so does stopping while stopped.
    void start();
    void stop();

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

    // Holds back tool calls that need a person's yes; none by default.
    void setConfirmationGate(ConfirmationGate* gate) { m_confirmationGate = gate; }

    // Coalescing of resource updates; tests shorten the interval.
    ResourceSubscriptions& subscriptions() { return m_subscriptions; }

Q_SIGNALS:
    void isRunningChanged();
    void connectionCountChanged();
    void clientInfoChanged();
    // Standard input has ended and every line read before its end has been answered.
    void inputFinished();

private:
    void startStdinListener();
    void forwardLogEntry(const ActivityLogEntry& entry);
    void sendResourceUpdate(const QString& uri);

    JSONRPCResponse handleInitialize(const JSONRPCRequest& request);
    JSONRPCResponse handleToolsList(const JSONRPCRequest& request);
    QCoro::Task<JSONRPCResponse> handleToolsCall(JSONRPCRequest request);
    JSONRPCResponse handleResourcesList(const JSONRPCRequest& request);
    QCoro::Task<JSONRPCResponse> handleResourcesRead(JSONRPCRequest request);
    JSONRPCResponse handlePromptsList(const JSONRPCRequest& request);
    QCoro::Task<JSONRPCResponse> handlePromptsGet(JSONRPCRequest request);
    JSONRPCResponse handleLoggingSetLevel(const JSONRPCRequest& request);
    JSONRPCResponse handleResourceTemplatesList(const JSONRPCRequest& request);
    JSONRPCResponse handleResourceSubscription(const JSONRPCRequest& request, bool subscribe);

    ToolRegistry& m_tools;
    ResourceManager& m_resources;
    PromptManager& m_prompts;
    SettingsManager& m_settings;
    StatisticsManager& m_statistics;
    ActivityLog& m_activityLog;
    StdioTransport& m_transport;
    ConfirmationGate* m_confirmationGate = nullptr;

    bool m_isRunning = false;
    qint64 m_connectionCount = 0;
    bool m_initialized = false;
    std::optional<ClientInfo> m_clientInfo;

    // The lines read, answered one at a time in arrival order, and their cancellation.
    RequestQueue m_queue;

    // The lowest severity of activity-log entries the client asked to receive; none until it
    // sets a level.
    std::optional<int> m_clientLogSeverity;
    ResourceSubscriptions m_subscriptions;

    // The tools/list result as written, rebuilt only when the registry changes: it is the
    // largest answer clients ask for again and again.
    std::shared_ptr<const std::string> m_toolsListResult;
    std::uint64_t m_toolsListGeneration = 0;
};

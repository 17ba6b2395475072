#pragma once

#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"
#include "protocol/ProtocolRevision.h"

#include <QCoroTask>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class ActivityLog;
class CompletionProvider;
class ConfirmationGate;
class HistoryRecorder;
struct ClientInfo;
class PromptManager;
class ResourceManager;
class StatisticsManager;
class ToolRegistry;
struct RequestContext;

// The handlers of the catalogue methods (tools, resources, prompts, completions), shared by
// every revision: each shapes its answer for the revision of the request it handles, so that a
// client never sees what its revision lacks (titles, annotations, structured results) and gets
// the error codes its revision defines. Session methods (initialize, logging, subscriptions)
// stay with the server; the stateless envelope is StatelessRequests'.
class MethodHandlers {
public:
    MethodHandlers(ToolRegistry& tools, ResourceManager& resources, PromptManager& prompts, StatisticsManager& statistics,
                   ActivityLog& activityLog, CompletionProvider& completions);
    ~MethodHandlers();

    // Whether `method` is one of these handlers' in the given revision.
    static bool handles(const std::string& method, ProtocolRevision revision);
    // Holds back tool calls that need a person's yes; none by default.
    void setConfirmationGate(ConfirmationGate* gate) { m_confirmationGate = gate; }
    // Keeps every tool call in the history, with the client `client` names; none by default.
    void setHistory(HistoryRecorder* history, std::function<const ClientInfo*()> client);

    // Answers a request `handles` accepted. The context must outlive the task.
    QCoro::Task<JSONRPCResponse> handle(JSONRPCRequest request, RequestContext& context);

    JSONRPCResponse toolsList(const JSONRPCRequest& request, const RequestContext& context);
    JSONRPCResponse resourcesList(const JSONRPCRequest& request, const RequestContext& context);
    JSONRPCResponse resourceTemplatesList(const JSONRPCRequest& request, const RequestContext& context);
    JSONRPCResponse promptsList(const JSONRPCRequest& request, const RequestContext& context);
    QCoro::Task<JSONRPCResponse> toolsCall(JSONRPCRequest request, RequestContext& context);
    QCoro::Task<JSONRPCResponse> resourcesRead(JSONRPCRequest request, RequestContext& context);
    QCoro::Task<JSONRPCResponse> promptsGet(JSONRPCRequest request, RequestContext& context);

    // The error for a missing or unreadable resource under the revision's codes.
    static JSONRPCError resourceError(ProtocolRevision revision, const QString& description, bool notFound, const std::string& uri);

    // "analyze_file" → "Analyze File": the display title of a snake-case name.
    static std::string titleOf(const std::string& name);

private:
    // Hands a finished call to the history once the answer is out.
    void keepInHistory(const std::string& tool, Json arguments, const RequestContext& context, const char* outcome,
                       const std::string& errorText, double durationSeconds);

    ToolRegistry& m_tools;
    ResourceManager& m_resources;
    PromptManager& m_prompts;
    StatisticsManager& m_statistics;
    ActivityLog& m_activityLog;
    CompletionProvider& m_completions;
    ConfirmationGate* m_confirmationGate = nullptr;
    HistoryRecorder* m_history = nullptr;
    std::function<const ClientInfo*()> m_client;

    // The tools/list result as written, per revision, rebuilt only when the registry changes:
    // it is the largest answer clients ask for again and again.
    struct CachedList {
        std::shared_ptr<const std::string> text;
        std::uint64_t generation = 0;
    };
    std::array<CachedList, 5> m_toolsList;
    // Lets a handler that resumes after the server is gone notice it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

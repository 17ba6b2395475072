#include "server/MethodHandlers.h"

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "platform/processes/Log.h"
#include "protocol/DecodingError.h"
#include "protocol/JsonWriter.h"
#include "protocol/MCPInitialize.h"
#include "protocol/MCPPrompt.h"
#include "protocol/MCPResource.h"
#include "protocol/MCPTool.h"
#include "server/CompletionProvider.h"
#include "server/ConfirmationGate.h"
#include "server/RequestContext.h"
#include "server/ToolArgumentCheck.h"
#include "state/ActivityLog.h"
#include "state/HistoryRecorder.h"
#include "state/StatisticsManager.h"
#include "tools/ToolAnnotations.h"
#include "tools/ToolRegistry.h"

#include <QElapsedTimer>
#include <QPointer>

ZARNEL_LOGGING_CATEGORY(lcHandlers, "MCPServer")

namespace {

QString textOf(const std::string& text)
{
    return QString::fromStdString(text);
}

// Decodes a request's params into the record of its method.
template <typename Record> std::optional<Record> decodeParams(const JSONRPCRequest& request, std::string* error)
{
    try {
        return Record::fromJson(*request.params);
    } catch (const DecodingError& failure) {
        *error = failure.description();
        return std::nullopt;
    }
}

JSONRPCError withMessage(const JSONRPCError& base, const std::string& message, std::optional<Json> data = std::nullopt)
{
    return JSONRPCError{base.code, message, std::move(data)};
}

Json toolDescriptor(const MCPTool& tool, ProtocolRevision revision)
{
    Json out = tool.toJson();
    if (!Revision::hasStructuredContent(revision))
        out.erase("outputSchema");
    // 2024-11-05 sessions have always been shown integer arguments typed as strings, and the
    // tools take both; their clients keep the descriptors they know.
    const auto schema = out.find("inputSchema");
    if (revision == ProtocolRevision::V2024_11_05 && schema != out.end() && schema->contains("properties")) {
        for (auto& property : (*schema)["properties"]) {
            if (property.is_object() && property.value("type", "") == "integer") {
                property["type"] = "string";
                property.erase("minimum");
            }
        }
    }
    const ToolAnnotations* annotations = ToolAnnotations::find(tool.name);
    if (annotations && Revision::hasToolAnnotations(revision)) {
        out["annotations"] = Json{{"title", std::string(annotations->title)},
                                  {"readOnlyHint", annotations->readOnly},
                                  {"destructiveHint", annotations->destructive},
                                  {"idempotentHint", annotations->idempotent},
                                  {"openWorldHint", annotations->openWorld}};
    }
    if (annotations && Revision::hasTitles(revision))
        out["title"] = std::string(annotations->title);
    return out;
}

// The text of a failed result, for the history.
std::string errorTextOf(const MCPToolCallResponse& result)
{
    for (const MCPContent& content : result.content) {
        if (const MCPContent::Text* text = content.asText())
            return text->text;
    }
    return {};
}

constexpr std::string_view kAccessDenied = "Access denied: ";

} // namespace

MethodHandlers::MethodHandlers(ToolRegistry& tools, ResourceManager& resources, PromptManager& prompts, StatisticsManager& statistics,
                               ActivityLog& activityLog, CompletionProvider& completions)
    : m_tools(tools)
    , m_resources(resources)
    , m_prompts(prompts)
    , m_statistics(statistics)
    , m_activityLog(activityLog)
    , m_completions(completions)
{
}

MethodHandlers::~MethodHandlers() = default;

void MethodHandlers::setHistory(HistoryRecorder* history, std::function<const ClientInfo*()> client)
{
    m_history = history;
    m_client = std::move(client);
}

void MethodHandlers::keepInHistory(const std::string& tool, Json arguments, const RequestContext& context, const char* outcome,
                                   const std::string& errorText, double durationSeconds)
{
    if (!m_history || !m_history->isRecording())
        return;
    HistoryRecord record;
    if (const ClientInfo* client = m_client ? m_client() : nullptr) {
        record.clientName = textOf(Log::clip(client->name));
        record.clientVersion = textOf(Log::clip(client->version));
    }
    record.revision = textOf(Revision::name(context.revision));
    record.tool = textOf(Log::clip(tool));
    record.outcome = QLatin1String(outcome);
    record.errorText = textOf(Log::clip(errorText));
    record.durationMs = durationSeconds * 1000.0;
    // Stamped now: the record itself is made a little later.
    record.time = m_history->startOfCallEndingNow(record.durationMs);
    // Queued: it runs once the answer has been written, never before.
    QMetaObject::invokeMethod(
        m_history,
        [history = QPointer<HistoryRecorder>(m_history), record = std::move(record), arguments = std::move(arguments)]() mutable {
            if (history)
                history->record(std::move(record), std::move(arguments));
        },
        Qt::QueuedConnection);
}

std::string MethodHandlers::titleOf(const std::string& name)
{
    std::string title;
    bool wordStart = true;
    for (const char c : name) {
        if (c == '_' || c == '-') {
            title += ' ';
            wordStart = true;
        } else {
            title += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            wordStart = false;
        }
    }
    return title;
}

bool MethodHandlers::handles(const std::string& method, ProtocolRevision revision)
{
    static const std::array<const char*, 7> always = {
        "tools/list", "tools/call", "resources/list", "resources/read", "resources/templates/list", "prompts/list", "prompts/get"};
    if (std::find(always.begin(), always.end(), method) != always.end())
        return true;
    // 2024-11-05 had the method without a capability for it; that session keeps answering it
    // as it always did.
    return method == "completion/complete" && Revision::hasCompletions(revision);
}

QCoro::Task<JSONRPCResponse> MethodHandlers::handle(JSONRPCRequest request, RequestContext& context)
{
    const std::string& method = request.method;
    if (method == "tools/list")
        co_return toolsList(request, context);
    if (method == "tools/call")
        co_return co_await toolsCall(std::move(request), context);
    if (method == "resources/list")
        co_return resourcesList(request, context);
    if (method == "resources/read")
        co_return co_await resourcesRead(std::move(request), context);
    if (method == "resources/templates/list")
        co_return resourceTemplatesList(request, context);
    if (method == "prompts/list")
        co_return promptsList(request, context);
    if (method == "prompts/get")
        co_return co_await promptsGet(std::move(request), context);
    if (method == "completion/complete")
        co_return m_completions.complete(request, context);
    co_return JSONRPCResponse::failure(request.id, JSONRPCError::methodNotFound);
}

JSONRPCResponse MethodHandlers::toolsList(const JSONRPCRequest& request, const RequestContext& context)
{
    CachedList& cached = m_toolsList[static_cast<std::size_t>(context.revision)];
    if (!cached.text || cached.generation != m_tools.generation()) {
        Json tools = Json::array();
        for (const auto& tool : m_tools.listTools())
            tools.push_back(toolDescriptor(tool, context.revision));
        cached.text = std::make_shared<const std::string>(JsonWriter::compact(Json{{"tools", std::move(tools)}}));
        cached.generation = m_tools.generation();
    }
    JSONRPCResponse response;
    response.id = request.id;
    response.serializedResult = cached.text;
    return response;
}

QCoro::Task<JSONRPCResponse> MethodHandlers::toolsCall(JSONRPCRequest request, RequestContext& context)
{
    const ProtocolRevision revision = context.revision;
    // 2024-11-05 answers params it cannot read with the internal error; later revisions call
    // them what they are.
    const JSONRPCError& unreadable = Revision::hasProtocolErrorCodes(revision) ? JSONRPCError::invalidParams : JSONRPCError::internalError;
    if (!request.params)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    auto call = decodeParams<MCPToolCallRequest>(request, &error);
    if (!call) {
        qCCritical(lcHandlers, "Tool call error: %s", Log::clip(error).c_str());
        m_activityLog.add(QStringLiteral("Tool call failed: ") + textOf(error), LogType::Error);
        m_statistics.recordError();
        co_return JSONRPCResponse::failure(request.id, unreadable);
    }

    const QString name = textOf(call->name);
    Arguments arguments = call->arguments.value_or(Arguments{});
    if (Revision::hasProtocolErrorCodes(revision)) {
        // An unknown tool is a bad request from 2025-03-26 on; arguments the tool's schema
        // rejects too, until 2025-11-25 made them a result the model can act on.
        const auto tool = m_tools.tool(call->name);
        std::optional<std::string> problem;
        if (!tool)
            problem = "Unknown tool: " + call->name;
        else if (auto rejected = ToolArgumentCheck::problem(tool->definition().inputSchema, arguments))
            problem = "Invalid arguments for tool " + call->name + ": " + *rejected;
        if (problem && (!tool || !Revision::validationFailureIsResult(revision))) {
            m_activityLog.add(QStringLiteral("Tool call failed: ") + textOf(*problem), LogType::Error);
            m_statistics.recordError();
            keepInHistory(call->name, arguments, context, HistoryRecord::kError, *problem, 0.0);
            co_return JSONRPCResponse::failure(request.id, withMessage(JSONRPCError::invalidParams, *problem));
        }
        if (problem) {
            m_activityLog.add(QStringLiteral("Tool call: ") + name, LogType::ToolCall);
            m_statistics.recordToolCall(name, 0.0, false);
            m_activityLog.add(ToolFailure{name, textOf(*problem)}.message(), LogType::Error);
            keepInHistory(call->name, arguments, context, HistoryRecord::kError, *problem, 0.0);
            MCPToolCallResponse rejected;
            rejected.content.push_back(MCPContent::text(*problem));
            rejected.isError = true;
            co_return JSONRPCResponse::success(request.id, std::move(rejected).toJson());
        }
    }

    qCInfo(lcHandlers, "Executing tool: %s", Log::clip(call->name).c_str());
    m_activityLog.add(QStringLiteral("Tool call: ") + name, LogType::ToolCall);
    QElapsedTimer elapsed;
    elapsed.start();
    const CancellationToken cancellation = context.cancellation;
    const bool known = m_tools.tool(call->name) != nullptr;
    const std::weak_ptr<int> alive = m_alive;
    Admission admission;
    if (m_confirmationGate && m_confirmationGate->applies(call->name)) {
        QCoro::Task<Admission> admitting = m_confirmationGate->admit(call->name, arguments, cancellation);
        admission = co_await admitting;
        if (alive.expired())
            co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    }
    // The tool takes the arguments; the history needs them after it, only when it keeps them.
    Json kept = m_history && m_history->isRecording() ? Json(arguments) : Json();
    MCPToolCallResponse result;
    if (admission.runs()) {
        result = co_await m_tools.executeTool(call->name, std::move(arguments), cancellation);
        if (alive.expired())
            co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);
    } else {
        result = std::move(admission.refusal);
    }
    const double duration = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;

    if (admission.verdict == Admission::Verdict::AwaitingAnswer || !context.inputRequests.empty()) {
        // The call stopped to ask its user something (before it ran, or while it ran): what it
        // got so far is dropped, and it runs again when the answers come. It is neither a
        // success nor a failure yet.
        co_return JSONRPCResponse::success(request.id, Json::object());
    }
    const char* outcome = HistoryRecord::kOk;
    if (cancellation.isCancelled())
        outcome = HistoryRecord::kCancelled;
    else if (!admission.runs())
        outcome = HistoryRecord::kDeclined;
    else if (result.failed())
        outcome = errorTextOf(result).starts_with(kAccessDenied) ? HistoryRecord::kDenied : HistoryRecord::kError;
    const std::string failure = result.failed() ? errorTextOf(result) : std::string();
    keepInHistory(call->name, std::move(kept), context, outcome, failure, duration);
    if (!known) {
        // Per-tool usage is kept for our tools only: names made up by a client would otherwise
        // be stored for good, however many and however long.
        m_statistics.recordUnknownToolCall(name, duration);
        m_activityLog.add(ToolFailure{name, textOf(failure)}.message(), LogType::Error);
    } else if (cancellation.isCancelled()) {
        // The cancellation wrote its own entry; the call counts as failed.
        m_statistics.recordToolCall(name, duration, false);
    } else if (result.failed()) {
        m_statistics.recordToolCall(name, duration, false);
        m_activityLog.add(ToolFailure{name, textOf(failure)}.message(), LogType::Error);
    } else {
        m_statistics.recordToolCall(name, duration, true);
        m_activityLog.add(QStringLiteral("Tool success: ") + name, LogType::Success);
    }
    if (!Revision::hasStructuredContent(revision))
        result.structuredContent.reset();
    co_return JSONRPCResponse::success(request.id, std::move(result).toJson());
}

JSONRPCResponse MethodHandlers::resourcesList(const JSONRPCRequest& request, const RequestContext& context)
{
    qCInfo(lcHandlers, "Listing resources");
    m_activityLog.add(QStringLiteral("Resources list requested"), LogType::Request);
    Json resources = Json::array();
    for (const auto& resource : m_resources.resources()) {
        Json item = resource.toJson();
        // The names are already what a person reads.
        if (Revision::hasTitles(context.revision))
            item["title"] = resource.name;
        resources.push_back(std::move(item));
    }
    return JSONRPCResponse::success(request.id, Json{{"resources", std::move(resources)}});
}

JSONRPCResponse MethodHandlers::resourceTemplatesList(const JSONRPCRequest& request, const RequestContext& context)
{
    Json localFile = {{"uriTemplate", "file:///{path}"},
                      {"name", "Local file"},
                      {"description", "Any readable UTF-8 text file on this machine"},
                      {"mimeType", "text/plain"}};
    if (Revision::hasTitles(context.revision))
        localFile["title"] = "Local File";
    return JSONRPCResponse::success(request.id, Json{{"resourceTemplates", Json::array({std::move(localFile)})}});
}

JSONRPCError MethodHandlers::resourceError(ProtocolRevision revision, const QString& description, bool notFound, const std::string& uri)
{
    const std::string message = description.toStdString();
    if (!Revision::hasProtocolErrorCodes(revision))
        return JSONRPCError{JSONRPCError::kResourceError, message, std::nullopt};
    if (!notFound)
        return withMessage(JSONRPCError::internalError, message);
    // 2026-07-28 folded "not found" into invalid params; both carry the URI.
    const std::int64_t code = Revision::isModern(revision) ? JSONRPCError::invalidParams.code : JSONRPCError::kResourceNotFound;
    return JSONRPCError{code, message, Json{{"uri", uri}}};
}

QCoro::Task<JSONRPCResponse> MethodHandlers::resourcesRead(JSONRPCRequest request, RequestContext& context)
{
    if (!request.params)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    const auto read = decodeParams<MCPResourceReadRequest>(request, &error);
    if (!read) {
        qCCritical(lcHandlers, "Resource read error: %s", Log::clip(error).c_str());
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    }

    const QString uri = textOf(read->uri);
    qCInfo(lcHandlers, "Reading resource: %s", Log::clip(read->uri).c_str());
    m_activityLog.add(QStringLiteral("Resource read: ") + uri, LogType::Request);
    const std::weak_ptr<int> alive = m_alive;
    ResourceReadResult outcome = co_await m_resources.readResource(uri);
    if (alive.expired())
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);

    if (const auto* failure = std::get_if<MCPResourceError>(&outcome)) {
        qCCritical(lcHandlers, "Resource read error: %s", qPrintable(Log::clip(failure->description)));
        m_activityLog.add(QStringLiteral("Resource read failed: ") + failure->description, LogType::Error);
        co_return JSONRPCResponse::failure(request.id, resourceError(context.revision, failure->description, failure->notFound, read->uri));
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

JSONRPCResponse MethodHandlers::promptsList(const JSONRPCRequest& request, const RequestContext& context)
{
    qCInfo(lcHandlers, "Listing prompts");
    m_activityLog.add(QStringLiteral("Prompts list requested"), LogType::Request);
    const bool titles = Revision::hasTitles(context.revision);
    Json prompts = Json::array();
    for (const auto& prompt : m_prompts.prompts()) {
        Json item = prompt.toJson();
        if (titles) {
            item["title"] = titleOf(prompt.name);
            for (Json& argument : item["arguments"])
                argument["title"] = titleOf(argument.value("name", std::string()));
        }
        prompts.push_back(std::move(item));
    }
    return JSONRPCResponse::success(request.id, Json{{"prompts", std::move(prompts)}});
}

QCoro::Task<JSONRPCResponse> MethodHandlers::promptsGet(JSONRPCRequest request, RequestContext& context)
{
    if (!request.params)
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    std::string error;
    auto get = decodeParams<MCPPromptGetRequest>(request, &error);
    if (!get) {
        qCCritical(lcHandlers, "Prompt get error: %s", Log::clip(error).c_str());
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    }

    const QString name = textOf(get->name);
    qCInfo(lcHandlers, "Getting prompt: %s", Log::clip(get->name).c_str());
    m_activityLog.add(QStringLiteral("Prompt get: ") + name, LogType::Request);
    const std::weak_ptr<int> alive = m_alive;
    PromptGetResult outcome = co_await m_prompts.getPrompt(name, get->arguments.value_or(Json::object_t{}));
    if (alive.expired())
        co_return JSONRPCResponse::failure(request.id, JSONRPCError::internalError);

    if (const auto* failure = std::get_if<MCPPromptError>(&outcome)) {
        qCCritical(lcHandlers, "Prompt get error: %s", qPrintable(Log::clip(failure->description)));
        m_activityLog.add(QStringLiteral("Prompt get failed: ") + failure->description, LogType::Error);
        const std::string message = failure->description.toStdString();
        if (!Revision::hasProtocolErrorCodes(context.revision))
            co_return JSONRPCResponse::failure(request.id, JSONRPCError{JSONRPCError::kPromptError, message, std::nullopt});
        const JSONRPCError& code = failure->badRequest ? JSONRPCError::invalidParams : JSONRPCError::internalError;
        co_return JSONRPCResponse::failure(request.id, withMessage(code, message));
    }
    MCPPromptGetResponse result{std::move(std::get<std::vector<MCPPromptMessage>>(outcome))};
    co_return JSONRPCResponse::success(request.id, result.toJson());
}

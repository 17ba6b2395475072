#include "server/ClientQuestions.h"

#include "platform/processes/Log.h"
#include "protocol/JsonWriter.h"
#include "server/RequestContext.h"

#include <QCoroTimer>
#include <QPointer>
#include <QTimer>

ZARNEL_LOGGING_CATEGORY(lcQuestions, "ClientQuestions")

namespace {

const Json& noCapabilities()
{
    static const Json none = Json::object();
    return none;
}

// Whether the client declared form questions: "elicitation": {} (form only, the older shape)
// or with "form" among its modes.
bool declaresFormElicitation(const Json& capabilities)
{
    const auto it = capabilities.find("elicitation");
    if (it == capabilities.end() || !it->is_object())
        return false;
    return it->empty() || it->contains("form");
}

} // namespace

ElicitationQuestion ElicitationQuestion::yesNo(QString message, std::string key)
{
    ElicitationQuestion question;
    question.key = std::move(key);
    question.message = std::move(message);
    question.requestedSchema = Json{{"type", "object"},
                                    {"properties", {{"confirm", {{"type", "boolean"}, {"title", "Confirm"}}}}},
                                    {"required", Json::array({"confirm"})}};
    return question;
}

bool ElicitationResult::confirmed(const std::string& field) const
{
    if (!accepted() || !content.is_object())
        return false;
    const auto it = content.find(field);
    return it != content.end() && it->is_boolean() && it->get<bool>();
}

ClientQuestions::ClientQuestions(LineSender send, QObject* parent)
    : QObject(parent)
    , m_send(std::move(send))
{
}

ClientQuestions::~ClientQuestions() = default;

const Json& ClientQuestions::clientCapabilities() const
{
    return m_current && m_current->clientCapabilities.is_object() ? m_current->clientCapabilities : noCapabilities();
}

bool ClientQuestions::clientCanElicit() const
{
    if (!m_current)
        return false;
    const bool revisionAsks = m_current->isModern() || Revision::hasElicitationRequests(m_current->revision);
    return revisionAsks && declaresFormElicitation(clientCapabilities());
}

ElicitationResult ClientQuestions::resultFromJson(const Json& result)
{
    ElicitationResult answer;
    answer.action = ElicitationResult::Action::Cancel;
    if (!result.is_object())
        return answer;
    const Json action = result.value("action", Json());
    if (action == "accept") {
        answer.action = ElicitationResult::Action::Accept;
        const Json content = result.value("content", Json::object());
        answer.content = content.is_object() ? content : Json::object();
    } else if (action == "decline") {
        answer.action = ElicitationResult::Action::Decline;
    }
    return answer;
}

bool ClientQuestions::answersComeWithRetry() const
{
    return m_current && m_current->isModern();
}

QCoro::Task<ElicitationResult> ClientQuestions::askClient(ElicitationQuestion question, CancellationToken withdrawn)
{
    RequestContext* context = m_current;
    if (!context || !clientCanElicit())
        co_return ElicitationResult{};
    if (context->cancellation.isCancelled() || withdrawn.isCancelled())
        co_return ElicitationResult{ElicitationResult::Action::Cancel, Json::object()};

    if (context->isModern()) {
        // The retry brings the answer under the question's key; without it the call ends
        // asking for it.
        const auto answer = context->inputResponses.find(question.key);
        if (answer != context->inputResponses.end()) {
            if (question.answerWithin && context->answersAge > *question.answerWithin)
                co_return ElicitationResult{ElicitationResult::Action::TimedOut, Json::object()};
            co_return resultFromJson(*answer);
        }
        context->inputRequests[question.key] = Json{
            {"method", "elicitation/create"},
            {"params", {{"mode", "form"}, {"message", question.message.toStdString()}, {"requestedSchema", question.requestedSchema}}}};
        co_return ElicitationResult{ElicitationResult::Action::InputRequired, Json::object()};
    }
    QCoro::Task<ElicitationResult> asking = askOverTheWire(std::move(question), context, std::move(withdrawn));
    co_return co_await asking;
}

QCoro::Task<ElicitationResult> ClientQuestions::askOverTheWire(ElicitationQuestion question, RequestContext* context,
                                                               CancellationToken withdrawn)
{
    const std::string id = "zarnel-question-" + std::to_string(m_nextId++);
    Json params = {{"message", question.message.toStdString()}, {"requestedSchema", question.requestedSchema}};
    if (context->revision >= ProtocolRevision::V2025_11_25)
        params["mode"] = "form";
    const std::string line =
        JsonWriter::compact(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", "elicitation/create"}, {"params", std::move(params)}});

    // One timer ends the wait: the time limit, or at once when the answer, a cancellation or
    // the withdrawal arrives.
    QTimer wake;
    wake.setSingleShot(true);
    m_open[id] = std::nullopt;
    m_wakers[id] = &wake;
    if (!m_send(line)) {
        m_open.erase(id);
        m_wakers.erase(id);
        co_return ElicitationResult{};
    }
    qCInfo(lcQuestions, "Asked the client (%s): %s", id.c_str(), qPrintable(question.message));
    context->cancellation.onCancelled(&wake, [&wake] { wake.start(0); });
    withdrawn.onCancelled(&wake, [&wake] { wake.start(0); });
    wake.start(m_timeLimit);
    QPointer<ClientQuestions> self(this);
    co_await wake;
    if (!self)
        co_return ElicitationResult{ElicitationResult::Action::Cancel, Json::object()};

    std::optional<ElicitationResult> answer = std::move(m_open[id]);
    m_open.erase(id);
    m_wakers.erase(id);
    if (answer)
        co_return *answer;
    // The client's user is no longer waited for: the client closes its question.
    const bool cancelled = context->cancellation.isCancelled() || withdrawn.isCancelled();
    const char* reason = cancelled ? "The question was withdrawn" : "No answer in time";
    m_send(JsonWriter::compact(
        Json{{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", id}, {"reason", reason}}}}));
    if (cancelled)
        co_return ElicitationResult{ElicitationResult::Action::Cancel, Json::object()};
    qCInfo(lcQuestions, "No answer to %s in time", id.c_str());
    co_return ElicitationResult{ElicitationResult::Action::TimedOut, Json::object()};
}

bool ClientQuestions::takeResponse(const Json& message)
{
    if (!message.is_object() || message.contains("method") || (!message.contains("result") && !message.contains("error")))
        return false;
    const Json id = message.value("id", Json());
    const auto open = id.is_string() ? m_open.find(id.get<std::string>()) : m_open.end();
    if (open == m_open.end()) {
        qCDebug(lcQuestions, "Ignoring a response to nothing we asked");
        return true;
    }
    // An error (the client cannot ask, or refused the request) counts as a dismissed question.
    open->second = message.contains("result") ? resultFromJson(message["result"])
                                              : ElicitationResult{ElicitationResult::Action::Cancel, Json::object()};
    if (QTimer* wake = m_wakers[open->first])
        wake->start(0);
    return true;
}

void ClientQuestions::cancelAll()
{
    for (auto& [id, wake] : m_wakers) {
        m_open[id] = ElicitationResult{ElicitationResult::Action::Cancel, Json::object()};
        if (wake)
            wake->start(0);
    }
}

#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCId.h"
#include "tools/CancellationToken.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

class QTimer;

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct RequestContext;

// A question for the client's user, in the shape of elicitation/create: a message and a flat
// object schema of what to answer. `key` names it within one call (a stateless client returns
// the answer under it).
struct ElicitationQuestion {
    std::string key = "question";
    QString message;
    Json requestedSchema = Json{{"type", "object"}, {"properties", Json::object()}};
    // How long the user has to answer, when the asker sets a limit of its own: a stateless
    // client's answer that comes back later counts as none (TimedOut).
    std::optional<std::chrono::milliseconds> answerWithin;

    // A yes/no question: one required boolean "confirm".
    static ElicitationQuestion yesNo(QString message, std::string key = "confirm");
};

struct ElicitationResult {
    enum class Action {
        Accept,        // the user answered; `content` holds the answer
        Decline,       // the user said no
        Cancel,        // the user dismissed the question, or the call was cancelled
        Unavailable,   // the client cannot be asked (its revision or capabilities lack it)
        TimedOut,      // no answer within the time limit
        InputRequired, // stateless client: the answer comes with a retry of this call. Stop
                       // now without side effects; the caller's result is replaced and the
                       // call runs again from the start with the answer.
    };
    Action action = Action::Unavailable;
    Json content = Json::object();

    bool accepted() const { return action == Action::Accept; }
    // A yes/no question answered yes (accepted with "confirm": true).
    bool confirmed(const std::string& field = "confirm") const;
};

// Questions a tool call in flight puts to the client's user (the confirmation gate is built
// on it). Reach it as MCPServer::clientQuestions().
//
//   bool clientCanElicit() const;          the client of the request in flight can be asked
//   const Json& clientCapabilities() const; what that client declared ("elicitation", "roots",
//                                          "sampling", ...): the session's, or a stateless
//                                          request's own
//   QCoro::Task<ElicitationResult> askClient(ElicitationQuestion, CancellationToken withdrawn);
//                                          ask and await the answer (Cancel once withdrawn)
//
// In 2025-06-18 and 2025-11-25 sessions the question is an elicitation/create request written
// to the client; its response, read from standard input, is matched by id (a response is never
// taken for a request) and bounded by a time limit. In 2026-07-28 the call ends with an
// "input_required" result; the client's retry brings the answer, and askClient then returns
// it at once. With no call in flight, or a client that declared no elicitation, the result is
// Unavailable.
class ClientQuestions : public QObject {
    Q_OBJECT

public:
    using LineSender = std::function<bool(const std::string& line)>;

    explicit ClientQuestions(LineSender send, QObject* parent = nullptr);
    ~ClientQuestions() override;

    bool clientCanElicit() const;
    const Json& clientCapabilities() const;
    // Whether the client of the request in flight answers with a retry of the call (stateless)
    // rather than while the call waits.
    bool answersComeWithRetry() const;
    // Cancelling `withdrawn` takes the question back, as a cancellation of the request does.
    QCoro::Task<ElicitationResult> askClient(ElicitationQuestion question, CancellationToken withdrawn = {});

    // The dispatcher names the request in flight (nullptr when none).
    void setCurrentRequest(RequestContext* context) { m_current = context; }
    RequestContext* currentRequest() const { return m_current; }

    // A response line from the client: true when it answered one of our requests (or any
    // request at all: responses are never handled as requests).
    bool takeResponse(const Json& message);
    // Ends every open question (input ended, server stopped).
    void cancelAll();

    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    static ElicitationResult resultFromJson(const Json& result);

private:
    QCoro::Task<ElicitationResult> askOverTheWire(ElicitationQuestion question, RequestContext* context, CancellationToken withdrawn);

    LineSender m_send;
    RequestContext* m_current = nullptr;
    std::chrono::milliseconds m_timeLimit{std::chrono::minutes(5)};
    std::uint64_t m_nextId = 1;
    // Open questions by the id of our request, with the answer once it came.
    std::map<std::string, std::optional<ElicitationResult>> m_open;
    std::map<std::string, QTimer*> m_wakers;
};

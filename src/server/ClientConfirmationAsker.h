#pragma once

#include "server/ClientQuestions.h"
#include "server/ConfirmationAsker.h"

#include <QPointer>

// Asks the client's own user, through the questions a call in flight may put to its client
// (elicitation): a yes/no question with the confirmation's message. The first way of asking,
// as that user is the one who wanted the call.
class ClientConfirmationAsker final : public ConfirmationAsker {
public:
    // The key a stateless client returns the answer under; apart from any key a tool's own
    // question uses.
    static constexpr const char* kAnswerKey = "confirmation";

    explicit ClientConfirmationAsker(ClientQuestions& questions);

    // Whether the client of the request in flight declared that it can ask its user.
    bool canAsk() const override;
    bool answersWithRetry() const override;
    // Call it while the request is in flight (the question goes to that request's client).
    QCoro::Task<ConfirmationAnswer> ask(ConfirmationQuestion question, CancellationToken withdrawn) override;

    // What the client's answer means for the call.
    static ConfirmationAnswer answerOf(const ElicitationResult& result);

private:
    QPointer<ClientQuestions> m_questions;
};

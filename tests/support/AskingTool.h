#pragma once

#include "server/ClientQuestions.h"
#include "support/EchoTool.h"

#include <QPointer>

// A tool for tests that asks the client's user a yes/no question and says what came back:
// "confirmed", "declined", "cancelled", "unavailable" or "timed out". It also reports two steps
// of progress around the question.
class AskingTool : public BaseTool {
public:
    explicit AskingTool(ClientQuestions& questions)
        : BaseTool(testToolCategory())
        , m_questions(&questions)
    {
    }

    MCPTool definition() const override
    {
        return makeDefinition("ask_user", "asks its user a yes/no question", {{"question", "string", "what to ask"}}, {});
    }

    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override
    {
        const auto question = getStringArgument(arguments, "question", false);
        QPointer<ClientQuestions> questions = m_questions;
        cancellation.reportProgress(1, 2, QStringLiteral("asking"));
        ElicitationQuestion yesNo = ElicitationQuestion::yesNo(question.hasValue() ? *question : QStringLiteral("Go ahead?"));
        QCoro::Task<ElicitationResult> asking = questions->askClient(std::move(yesNo));
        const ElicitationResult answer = co_await asking;
        cancellation.reportProgress(2, 2, QStringLiteral("answered"));
        switch (answer.action) {
        case ElicitationResult::Action::Accept:
            co_return successResult(answer.confirmed() ? QStringLiteral("confirmed") : QStringLiteral("declined"));
        case ElicitationResult::Action::Decline: co_return successResult(QStringLiteral("declined"));
        case ElicitationResult::Action::Cancel: co_return successResult(QStringLiteral("cancelled"));
        case ElicitationResult::Action::TimedOut: co_return successResult(QStringLiteral("timed out"));
        case ElicitationResult::Action::InputRequired:
            // Discarded: the call ends asking, and runs again with the answer.
            co_return errorResult(QStringLiteral("waiting for the answer"));
        case ElicitationResult::Action::Unavailable: break;
        }
        co_return successResult(QStringLiteral("unavailable"));
    }

private:
    QPointer<ClientQuestions> m_questions;
};

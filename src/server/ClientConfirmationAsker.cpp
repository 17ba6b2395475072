#include "server/ClientConfirmationAsker.h"

ClientConfirmationAsker::ClientConfirmationAsker(ClientQuestions& questions)
    : m_questions(&questions)
{
}

bool ClientConfirmationAsker::canAsk() const
{
    return m_questions && m_questions->clientCanElicit();
}

QCoro::Task<ConfirmationAnswer> ClientConfirmationAsker::ask(ConfirmationQuestion question, CancellationToken withdrawn)
{
    if (!m_questions)
        co_return ConfirmationAnswer::Unreachable;
    QCoro::Task<ElicitationResult> asking = m_questions->askClient(ElicitationQuestion::yesNo(question.message, kAnswerKey), withdrawn);
    co_return answerOf(co_await asking);
}

ConfirmationAnswer ClientConfirmationAsker::answerOf(const ElicitationResult& result)
{
    using Action = ElicitationResult::Action;
    switch (result.action) {
    case Action::Accept: return result.confirmed() ? ConfirmationAnswer::Allowed : ConfirmationAnswer::Declined;
    case Action::Decline: return ConfirmationAnswer::Declined;
    case Action::Cancel: return ConfirmationAnswer::Cancelled;
    case Action::TimedOut: return ConfirmationAnswer::NotAnswered;
    case Action::InputRequired: return ConfirmationAnswer::InputRequired;
    case Action::Unavailable: break;
    }
    return ConfirmationAnswer::Unreachable;
}

#include "server/ClientConfirmationAsker.h"

#include "server/VisibleText.h"

ClientConfirmationAsker::ClientConfirmationAsker(ClientQuestions& questions)
    : m_questions(&questions)
{
}

bool ClientConfirmationAsker::canAsk() const
{
    return m_questions && m_questions->clientCanElicit();
}

bool ClientConfirmationAsker::answersWithRetry() const
{
    return m_questions && m_questions->answersComeWithRetry();
}

QCoro::Task<ConfirmationAnswer> ClientConfirmationAsker::ask(ConfirmationQuestion question, CancellationToken withdrawn)
{
    if (!m_questions)
        co_return ConfirmationAnswer::Unreachable;
    ElicitationQuestion asked = ElicitationQuestion::yesNo(VisibleText::question(question.message), kAnswerKey);
    if (question.timeLimit.count() > 0)
        asked.answerWithin = question.timeLimit;
    QCoro::Task<ElicitationResult> asking = m_questions->askClient(std::move(asked), withdrawn);
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

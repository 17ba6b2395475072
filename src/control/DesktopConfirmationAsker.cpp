#include "control/DesktopConfirmationAsker.h"

#include "control/ControlClient.h"
#include "control/DesktopInstanceFinder.h"
#include "platform/processes/Log.h"
#include "state/RandomUuid.h"

#include <QPointer>
#include <QUuid>

#include <memory>

ZARNEL_LOGGING_CATEGORY(lcDesktopAsker, "DesktopConfirmationAsker")

namespace {

// Sent on a connection of its own: the question's connection is busy waiting for its answer.
QCoro::Task<> sendWithdrawal(QString socketPath, std::string id)
{
    auto client = std::make_shared<ControlClient>();
    if (!client->connectTo(socketPath))
        co_return;
    // Named first: g++ 12 cannot build a string from the constant inside a coroutine call.
    std::string command(DesktopConfirmationAsker::kWithdrawCommand);
    QCoro::Task<ControlProtocol::Reply> withdrawing = client->request(std::move(command), Json{{"id", std::move(id)}});
    const ControlProtocol::Reply reply = co_await withdrawing;
    if (!reply.ok)
        qCWarning(lcDesktopAsker, "Could not withdraw a question: %s", reply.message.c_str());
}

} // namespace

DesktopConfirmationAsker::DesktopConfirmationAsker(std::shared_ptr<DesktopInstanceFinder> finder, std::chrono::milliseconds timeLimit,
                                                   std::function<QString()> client, QObject* parent)
    : QObject(parent)
    , m_finder(std::move(finder))
    , m_timeLimit(timeLimit)
    , m_client(std::move(client))
{
}

DesktopConfirmationAsker::DesktopConfirmationAsker(ControlFolder folder, std::chrono::milliseconds timeLimit,
                                                   std::function<QString()> client, QObject* parent)
    : DesktopConfirmationAsker(std::make_shared<DesktopInstanceFinder>(std::move(folder), false), timeLimit, std::move(client), parent)
{
}

bool DesktopConfirmationAsker::canAsk() const
{
    return m_finder->mayFind();
}

QString DesktopConfirmationAsker::unreachableReason() const
{
    if (!m_unreachable.isEmpty())
        return m_unreachable;
    return m_finder->displayPresent() ? m_finder->absenceReason() : QStringLiteral("there is no display");
}

ConfirmationAnswer DesktopConfirmationAsker::answerOf(const std::string& word)
{
    if (word == "allowed")
        return ConfirmationAnswer::Allowed;
    if (word == "denied")
        return ConfirmationAnswer::Declined;
    if (word == "timedOut")
        return ConfirmationAnswer::NotAnswered;
    if (word == "withdrawn")
        return ConfirmationAnswer::Cancelled;
    return ConfirmationAnswer::Unreachable;
}

QCoro::Task<ConfirmationAnswer> DesktopConfirmationAsker::ask(ConfirmationQuestion question, CancellationToken withdrawn)
{
    QPointer<DesktopConfirmationAsker> self(this);
    const std::shared_ptr<DesktopInstanceFinder> finder = m_finder;
    m_unreachable.clear();
    QCoro::Task<qint64> finding = finder->find();
    const qint64 pid = co_await finding;
    if (!self)
        co_return ConfirmationAnswer::Unreachable;
    if (withdrawn.isCancelled())
        co_return ConfirmationAnswer::Cancelled;
    if (pid == 0) {
        m_unreachable = finder->displayPresent() ? finder->absenceReason() : QStringLiteral("there is no display");
        co_return ConfirmationAnswer::Unreachable;
    }

    const QString socketPath = finder->folder().socketPath(pid);
    auto connection = std::make_shared<ControlClient>();
    if (!connection->connectTo(socketPath)) {
        m_unreachable = QStringLiteral("the desktop instance did not answer");
        co_return ConfirmationAnswer::Unreachable;
    }
    const std::string id = RandomUuid::create().toString(QUuid::WithoutBraces).toStdString();
    withdrawn.onCancelled(connection.get(), [socketPath, id] { sendWithdrawal(socketPath, id); });

    const auto limit = static_cast<qint64>(m_timeLimit.count());
    const Json args{{"id", id},
                    {"tool", question.tool.toStdString()},
                    {"message", question.message.toStdString()},
                    {"client", m_client ? m_client().toStdString() : std::string()},
                    {"timeoutMs", limit}};
    // The dialog closes itself when its time runs out; the extra time covers the way back.
    std::string command(kConfirmCommand);
    QCoro::Task<ControlProtocol::Reply> asking =
        connection->request(std::move(command), args, static_cast<int>(limit + ControlProtocol::kRequestTimeoutMs * 5));
    const ControlProtocol::Reply reply = co_await asking;
    if (!reply.ok) {
        qCWarning(lcDesktopAsker, "The desktop instance did not answer the question: %s", reply.message.c_str());
        if (self)
            m_unreachable = QStringLiteral("the desktop instance did not answer");
        co_return withdrawn.isCancelled() ? ConfirmationAnswer::Cancelled : ConfirmationAnswer::Unreachable;
    }
    co_return answerOf(reply.result.is_object() ? reply.result.value("answer", std::string()) : std::string());
}

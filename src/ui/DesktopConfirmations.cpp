#include "ui/DesktopConfirmations.h"

#include "control/ControlServer.h"
#include "control/DesktopConfirmationAsker.h"

#include <QCoroSignal>

using ControlProtocol::Reply;
namespace Code = ControlProtocol::Code;

namespace {

constexpr qint64 kLongestTimeLimitMs = 10 * 60 * 1000;

const char* outcomeWord(ConfirmationDialog::Outcome outcome)
{
    switch (outcome) {
    case ConfirmationDialog::Outcome::Allowed: return "allowed";
    case ConfirmationDialog::Outcome::Denied: return "denied";
    case ConfirmationDialog::Outcome::TimedOut: return "timedOut";
    case ConfirmationDialog::Outcome::Withdrawn: break;
    }
    return "withdrawn";
}

QString stringArgument(const Json& args, const char* key)
{
    const auto found = args.find(key);
    return found != args.end() && found->is_string() ? QString::fromStdString(found->get<std::string>()) : QString();
}

} // namespace

DesktopConfirmations::DesktopConfirmations(QObject* parent)
    : QObject(parent)
{
}

void DesktopConfirmations::registerWith(ControlServer& server)
{
    server.registerCommand(QString::fromLatin1(DesktopConfirmationAsker::kConfirmCommand),
                           [this](Json args) { return confirm(std::move(args)); });
    server.registerCommand(QString::fromLatin1(DesktopConfirmationAsker::kWithdrawCommand),
                           [this](Json args) { return [](Reply reply) -> QCoro::Task<Reply> { co_return reply; }(withdraw(args)); });
}

QList<ConfirmationDialog*> DesktopConfirmations::openDialogs() const
{
    QList<ConfirmationDialog*> dialogs;
    for (const auto& dialog : m_open)
        if (dialog)
            dialogs << dialog.data();
    return dialogs;
}

QCoro::Task<Reply> DesktopConfirmations::confirm(Json args)
{
    const QString id = stringArgument(args, "id");
    const QString message = stringArgument(args, "message");
    const auto limit = args.find("timeoutMs");
    if (id.isEmpty() || message.isEmpty() || limit == args.end() || !limit->is_number_integer() || *limit <= 0
        || *limit > kLongestTimeLimitMs)
        co_return Reply::failure(Code::BadArguments, "\"id\", \"message\" and \"timeoutMs\" (1 to 600000) are required");
    if (m_open.contains(id) && m_open.value(id))
        co_return Reply::failure(Code::BadArguments, "a question with this id is already open");

    QPointer<DesktopConfirmations> self(this);
    // Deleted here once it has settled, not when it closes: the answer reaches this coroutine
    // through a queued call to the dialog, which a dialog deleting itself on close could drop.
    auto* shown = new ConfirmationDialog(message, stringArgument(args, "client"), std::chrono::milliseconds(limit->get<qint64>()));
    const QPointer<ConfirmationDialog> dialog(shown);
    m_open.insert(id, dialog);
    shown->show();
    shown->raise();
    shown->activateWindow();
    Q_EMIT dialogShown(shown);
    QCoro::Task<ConfirmationDialog::Outcome> answering = qCoro(shown, &ConfirmationDialog::settled);
    const ConfirmationDialog::Outcome outcome = co_await answering;
    if (dialog)
        dialog->deleteLater();
    if (self)
        m_open.remove(id);
    co_return Reply::success(Json{{"answer", outcomeWord(outcome)}});
}

Reply DesktopConfirmations::withdraw(const Json& args)
{
    const QString id = stringArgument(args, "id");
    // An answer that crossed the withdrawal on its way is no failure.
    if (const QPointer<ConfirmationDialog> dialog = m_open.value(id))
        dialog->withdraw();
    return Reply::success();
}

#include "control/DesktopInstanceFinder.h"

#include "control/ControlClient.h"
#include "platform/processes/Log.h"

#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QFileInfo>

ZARNEL_LOGGING_CATEGORY(lcDesktopInstanceFinder, "DesktopInstanceFinder")

namespace {

constexpr std::chrono::milliseconds kLookInterval{200};

// Outside the coroutine: g++ 12 destroys the range of a loop that returns from a coroutine twice.
qint64 desktopAmong(const QList<InstanceReply>& replies)
{
    for (const InstanceReply& each : replies) {
        const Json& status = each.reply.result;
        if (each.reply.ok && status.is_object() && status.value("desktop", false))
            return each.pid;
        if (!each.reply.ok)
            qCDebug(lcDesktopInstanceFinder, "Process %lld did not say whether it is the desktop instance: %s", each.pid,
                    each.reply.message.c_str());
    }
    return 0;
}

} // namespace

DesktopInstanceFinder::DesktopInstanceFinder(ControlFolder folder, bool displayPresent, std::chrono::milliseconds startWait)
    : m_folder(std::move(folder))
    , m_displayPresent(displayPresent)
    , m_startWait(startWait)
{
}

bool DesktopInstanceFinder::mayFind() const
{
    return m_displayPresent || (m_folder.isUsable() && !m_folder.socketProcessIds().isEmpty());
}

QString DesktopInstanceFinder::absenceReason() const
{
    return m_displayPresent ? QStringLiteral("the desktop instance did not start") : QStringLiteral("no display");
}

std::chrono::milliseconds DesktopInstanceFinder::startWaitFromEnvironment()
{
    bool valid = false;
    const int shortened = qEnvironmentVariableIntValue("ZARNEL_TEST_DESKTOP_INSTANCE_WAIT_MS", &valid);
    return valid && shortened >= 0 ? std::chrono::milliseconds(shortened) : kStartWait;
}

QCoro::Task<qint64> DesktopInstanceFinder::lookOnce()
{
    if (m_found != 0 && QFileInfo::exists(m_folder.socketPath(m_found)))
        co_return m_found;
    std::string command("status");
    QCoro::Task<QList<InstanceReply>> asking = askEveryInstance(m_folder, std::move(command));
    const QList<InstanceReply> replies = co_await asking;
    m_found = desktopAmong(replies);
    co_return m_found;
}

QCoro::Task<qint64> DesktopInstanceFinder::find()
{
    QCoro::Task<qint64> looking = lookOnce();
    qint64 pid = co_await looking;
    if (pid != 0 || !m_displayPresent || m_waited)
        co_return pid;
    qCInfo(lcDesktopInstanceFinder, "Waiting up to %lld ms for the desktop instance", static_cast<long long>(m_startWait.count()));
    const QDeadlineTimer deadline(m_startWait);
    while (pid == 0 && !deadline.hasExpired() && !m_waited) {
        co_await QCoro::sleepFor(kLookInterval);
        QCoro::Task<qint64> again = lookOnce();
        pid = co_await again;
    }
    // The person may quit the desktop instance later: then each request would wait again.
    if (pid == 0)
        m_waited = true;
    co_return pid;
}

QCoro::Task<std::optional<ControlProtocol::Reply>> DesktopInstanceFinder::ask(std::string command, Json args, int timeoutMs)
{
    QCoro::Task<qint64> finding = find();
    const qint64 pid = co_await finding;
    if (pid == 0)
        co_return std::nullopt;
    auto client = std::make_shared<ControlClient>();
    if (!client->connectTo(m_folder.socketPath(pid)))
        co_return std::nullopt;
    QCoro::Task<ControlProtocol::Reply> asking = client->request(std::move(command), std::move(args), timeoutMs);
    ControlProtocol::Reply reply = co_await asking;
    co_return reply;
}

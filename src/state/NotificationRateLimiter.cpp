#include "state/NotificationRateLimiter.h"

#include "platform/processes/Clock.h"
#include "state/CountText.h"

namespace {

// "delete_file, write_file" with repeats named once, in the order they happened.
QString distinctList(const QStringList& items)
{
    QStringList distinct = items;
    distinct.removeDuplicates();
    return distinct.join(QStringLiteral(", "));
}

QString clientsLine(const QStringList& clients)
{
    if (clients.size() == 1)
        return QStringLiteral("Client connected");
    return countText(clients.size(), QStringLiteral("client"), QStringLiteral("clients")) + QStringLiteral(" connected");
}

QString toolsLine(const QList<DesktopEvent>& failures)
{
    if (failures.size() == 1)
        return QStringLiteral("Tool call failed");
    return countText(failures.size(), QStringLiteral("tool call"), QStringLiteral("tool calls")) + QStringLiteral(" failed");
}

// "read_file: File not found: /tmp/x" for one failure; the daemons show a few lines of a body,
// so a long reason is cut. Several failures are named by their tools.
QString failuresText(const QList<DesktopEvent>& failures)
{
    constexpr qsizetype kReasonCharacters = 200;
    if (failures.size() == 1 && !failures.first().reason.isEmpty()) {
        const QString& reason = failures.first().reason;
        return failures.first().subject + QStringLiteral(": ")
            + (reason.size() > kReasonCharacters ? reason.left(kReasonCharacters - 1) + QChar(0x2026) : reason);
    }
    QStringList tools;
    for (const DesktopEvent& failure : failures)
        tools.append(failure.subject);
    return distinctList(tools);
}

} // namespace

NotificationRateLimiter::NotificationRateLimiter(const Clock& clock)
    : m_clock(clock)
{
}

DesktopNotification NotificationRateLimiter::describe(const QStringList& clients, const QList<DesktopEvent>& failures)
{
    if (failures.isEmpty())
        return {clientsLine(clients), distinctList(clients)};
    if (clients.isEmpty())
        return {toolsLine(failures), failuresText(failures)};
    return {QStringLiteral("Zarnel"),
            clientsLine(clients) + QStringLiteral(": ") + distinctList(clients) + QLatin1Char('\n') + toolsLine(failures)
                + QStringLiteral(": ") + failuresText(failures)};
}

std::optional<DesktopNotification> NotificationRateLimiter::add(const DesktopEvent& event)
{
    if (event.kind == DesktopEvent::Kind::ClientConnected)
        m_heldClients.append(event.subject);
    else
        m_heldFailures.append(event);
    return takeDue();
}

std::optional<QDateTime> NotificationRateLimiter::nextPostingTime() const
{
    if (m_heldClients.isEmpty() && m_heldFailures.isEmpty())
        return std::nullopt;
    if (!m_lastPosted)
        return m_clock.now();
    return m_lastPosted->addMSecs(kIntervalMilliseconds);
}

std::optional<DesktopNotification> NotificationRateLimiter::takeDue()
{
    if (m_heldClients.isEmpty() && m_heldFailures.isEmpty())
        return std::nullopt;
    const QDateTime now = m_clock.now();
    // A clock set back would hold events until it caught up again: count the interval from now.
    if (m_lastPosted && *m_lastPosted > now)
        m_lastPosted = now;
    if (m_lastPosted && now < m_lastPosted->addMSecs(kIntervalMilliseconds))
        return std::nullopt;
    return post();
}

std::optional<DesktopNotification> NotificationRateLimiter::post()
{
    DesktopNotification notification = describe(m_heldClients, m_heldFailures);
    m_heldClients.clear();
    m_heldFailures.clear();
    m_lastPosted = m_clock.now();
    return notification;
}

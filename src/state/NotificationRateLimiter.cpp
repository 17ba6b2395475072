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

QString toolsLine(const QStringList& tools)
{
    if (tools.size() == 1)
        return QStringLiteral("Tool call failed");
    return countText(tools.size(), QStringLiteral("tool call"), QStringLiteral("tool calls")) + QStringLiteral(" failed");
}

} // namespace

NotificationRateLimiter::NotificationRateLimiter(const Clock& clock)
    : m_clock(clock)
{
}

DesktopNotification NotificationRateLimiter::describe(const QStringList& clients, const QStringList& tools)
{
    if (tools.isEmpty())
        return {clientsLine(clients), distinctList(clients)};
    if (clients.isEmpty())
        return {toolsLine(tools), distinctList(tools)};
    return {QStringLiteral("Zarnel"),
            clientsLine(clients) + QStringLiteral(": ") + distinctList(clients) + QLatin1Char('\n') + toolsLine(tools)
                + QStringLiteral(": ") + distinctList(tools)};
}

std::optional<DesktopNotification> NotificationRateLimiter::add(const DesktopEvent& event)
{
    (event.kind == DesktopEvent::Kind::ClientConnected ? m_heldClients : m_heldTools).append(event.subject);
    return takeDue();
}

std::optional<QDateTime> NotificationRateLimiter::nextPostingTime() const
{
    if (m_heldClients.isEmpty() && m_heldTools.isEmpty())
        return std::nullopt;
    if (!m_lastPosted)
        return m_clock.now();
    return m_lastPosted->addMSecs(kIntervalMilliseconds);
}

std::optional<DesktopNotification> NotificationRateLimiter::takeDue()
{
    if (m_heldClients.isEmpty() && m_heldTools.isEmpty())
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
    DesktopNotification notification = describe(m_heldClients, m_heldTools);
    m_heldClients.clear();
    m_heldTools.clear();
    m_lastPosted = m_clock.now();
    return notification;
}

#include "state/DesktopNotifier.h"

#include "platform/processes/Clock.h"
#include "platform/processes/Log.h"
#include "platform/session/NotificationService.h"
#include "state/ActivityLogEntry.h"
#include "state/SettingsManager.h"

#include <QPointer>

ZARNEL_LOGGING_CATEGORY(lcNotifier, "DesktopNotifier")

namespace {

QCoro::Task<> deliver(QPointer<QObject> owner, NotificationService* service, DesktopNotification notification)
{
    const NotificationDelivery delivery = co_await service->notify(notification.title, notification.body, false);
    if (owner && delivery.status != NotificationDelivery::Status::Sent)
        qCWarning(lcNotifier, "Could not post a notification: %s", qUtf8Printable(delivery.error));
}

} // namespace

DesktopNotifier::DesktopNotifier(SettingsManager& settings, NotificationService& service, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_service(service)
    , m_clock(clock)
    , m_limiter(clock)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DesktopNotifier::postDue);
}

std::optional<DesktopEvent> DesktopNotifier::eventOf(const ActivityLogEntry& entry)
{
    static const QString connected = QStringLiteral("Connected: ");
    if (entry.type == LogType::Info && entry.message.startsWith(connected)) {
        // "Connected: <name> v<version>" reads "<name> <version>" in a notification.
        QString client = entry.message.mid(connected.size());
        const int version = client.lastIndexOf(QStringLiteral(" v"));
        if (version >= 0)
            client.remove(version + 1, 1);
        return DesktopEvent{DesktopEvent::Kind::ClientConnected, client, {}};
    }
    // The person who pressed Deny knows why the call did not run.
    if (const auto failure = ToolFailure::of(entry); failure && !failure->wasDeclined())
        return DesktopEvent{DesktopEvent::Kind::ToolCallFailed, failure->tool, failure->reason};
    return std::nullopt;
}

void DesktopNotifier::report(const DesktopEvent& event)
{
    if (!m_settings.showNotifications())
        return;
    if (const auto now = m_limiter.add(event))
        post(*now);
    scheduleHeld();
}

void DesktopNotifier::postDue()
{
    // Switched off while events were held: they go unsaid.
    if (const auto due = m_limiter.takeDue(); due && m_settings.showNotifications())
        post(*due);
    scheduleHeld();
}

void DesktopNotifier::scheduleHeld()
{
    const auto when = m_limiter.nextPostingTime();
    if (!when) {
        m_timer.stop();
        return;
    }
    m_timer.start(static_cast<int>(std::clamp<qint64>(m_clock.now().msecsTo(*when), 0, NotificationRateLimiter::kIntervalMilliseconds)));
}

void DesktopNotifier::post(const DesktopNotification& notification)
{
    qCInfo(lcNotifier, "Posting: %s", qUtf8Printable(notification.title));
    Q_EMIT posted(notification);
    deliver(this, &m_service, notification);
}

#include "control/WaitingClientNotices.h"

#include "platform/processes/Log.h"
#include "platform/session/NotificationService.h"
#include "state/SettingsManager.h"

#include <QPointer>

ZARNEL_LOGGING_CATEGORY(lcWaitingNotices, "WaitingClientNotices")

namespace {

QCoro::Task<> deliver(NotificationService* service, QString title, std::function<void()> start)
{
    QCoro::Task<NotificationDelivery> posting = service->notifyWithAction(
        title, QStringLiteral("Its requests wait until Zarnel is started."), QStringLiteral("Start"), std::move(start));
    const NotificationDelivery delivery = co_await posting;
    if (delivery.status != NotificationDelivery::Status::Sent)
        qCWarning(lcWaitingNotices, "Could not post a notification: %s", qUtf8Printable(delivery.error));
}

} // namespace

WaitingClientNotices::WaitingClientNotices(SettingsManager& settings, NotificationService& service, std::function<void()> start,
                                           QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_service(service)
    , m_start(std::move(start))
{
}

QString WaitingClientNotices::title(const QString& clientName)
{
    return (clientName.isEmpty() ? QStringLiteral("A client") : clientName) + QStringLiteral(" is waiting for Zarnel");
}

void WaitingClientNotices::follow(RunningInstances& instances)
{
    connect(&instances, &RunningInstances::changed, this, [this, &instances] { show(instances.waitingClients()); });
}

void WaitingClientNotices::show(const QList<InstanceInfo>& waiting)
{
    QSet<qint64> now;
    for (const InstanceInfo& each : waiting) {
        now.insert(each.pid);
        if (m_told.contains(each.pid) || !m_settings.showNotifications())
            continue;
        m_told.insert(each.pid);
        // The button may be pressed long after this object is gone (at the end of the run).
        QPointer<WaitingClientNotices> self(this);
        deliver(&m_service, title(each.clientName), [self] {
            if (self)
                self->m_start();
        });
    }
    // A client that no longer waits (served, or gone) is news again when it waits again.
    m_told.intersect(now);
}

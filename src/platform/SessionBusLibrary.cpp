#include "platform/SessionBusLibrary.h"

#include "platform/OnDemand.h"
#include "platform/PrivateLibrary.h"
#include "platform/session/NotificationService.h"

namespace SessionBusLibrary {

namespace {

constexpr const char* kFileName = "libzarnel-session-bus.so";

const PrivateLibrary::Loaded<SessionBusLibraryFunctions>& state()
{
    return PrivateLibrary::loadOnce<SessionBusLibraryFunctions>(kFileName, ZARNEL_SESSION_BUS_LIBRARY_ENTRY, kSessionBusLibraryVersion);
}

// Connecting to the session bus is left to the first notification: most processes post none.
class LazyNotificationService : public NotificationService {
public:
    QCoro::Task<NotificationDelivery> notify(QString title, QString body, bool sound) override
    {
        if (NotificationService* service = loaded())
            return service->notify(std::move(title), std::move(body), sound);
        return unavailable();
    }

    QCoro::Task<NotificationDelivery> notifyWithAction(QString title, QString body, QString actionLabel,
                                                       std::function<void()> chosen) override
    {
        if (NotificationService* service = loaded())
            return service->notifyWithAction(std::move(title), std::move(body), std::move(actionLabel), std::move(chosen));
        return unavailable();
    }

private:
    NotificationService* loaded() const { return m_service.get().get(); }

    static QCoro::Task<NotificationDelivery> unavailable()
    {
        co_return NotificationDelivery{NotificationDelivery::Status::ServiceUnavailable,
                                       QStringLiteral("the session bus library cannot be loaded: ") + loadError()};
    }

    OnDemand<NotificationService> m_service{[]() -> std::shared_ptr<NotificationService> {
        const SessionBusLibraryFunctions* table = functions();
        return table ? std::shared_ptr<NotificationService>(table->createNotificationService()) : nullptr;
    }};
};

} // namespace

const SessionBusLibraryFunctions* functions()
{
    return state().table;
}

QString loadError()
{
    return state().error;
}

std::shared_ptr<NotificationService> notifications()
{
    return std::make_shared<LazyNotificationService>();
}

QHash<QString, QString> userManagerEnvironment(const QString& busAddress, std::chrono::milliseconds timeout)
{
    const SessionBusLibraryFunctions* table = functions();
    return table ? table->userManagerEnvironment(busAddress, static_cast<int>(timeout.count())) : QHash<QString, QString>();
}

} // namespace SessionBusLibrary

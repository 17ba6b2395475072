#pragma once

#include <QCoroTask>
#include <QString>

#include <functional>

// The outcome of posting a desktop notification.
struct NotificationDelivery {
    enum class Status {
        Sent,
        // There is no desktop session to post to: no session bus could be reached.
        NoSession,
        // No notification service could be reached; `error` says why.
        ServiceUnavailable,
        // The service refused the notification; `error` says why.
        Rejected,
    };
    Status status = Status::Sent;
    QString error;
};

// Posts notifications to the user's desktop.
class NotificationService {
public:
    virtual ~NotificationService() = default;

    // Shows the notification at once; `sound` asks for the desktop's default message sound.
    virtual QCoro::Task<NotificationDelivery> notify(QString title, QString body, bool sound) = 0;

    // Shows it with one button, `actionLabel`; `chosen` runs (on this thread) when the person
    // presses it, and never where the desktop's notifications have no buttons. Without a way to
    // offer one, the notification is posted without it.
    virtual QCoro::Task<NotificationDelivery> notifyWithAction(QString title, QString body, QString actionLabel,
                                                               std::function<void()> chosen)
    {
        Q_UNUSED(actionLabel);
        Q_UNUSED(chosen);
        return notify(std::move(title), std::move(body), false);
    }
};

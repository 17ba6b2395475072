#pragma once

#include "platform/session/NotificationService.h"

#include <QList>
#include <QStringList>

#include <functional>

// Keeps every notification as "<title> | <body>" (with " (sound)" when asked for, " [<button>]"
// for one with a button), and what each button would do.
class RecordingNotificationService final : public NotificationService {
public:
    QStringList posted;
    QList<std::function<void()>> buttons;

    QCoro::Task<NotificationDelivery> notifyWithAction(QString title, QString body, QString actionLabel,
                                                       std::function<void()> chosen) override
    {
        posted << title + QStringLiteral(" | ") + body + QStringLiteral(" [") + actionLabel + QLatin1Char(']');
        buttons << std::move(chosen);
        co_return NotificationDelivery{};
    }

    QCoro::Task<NotificationDelivery> notify(QString title, QString body, bool sound) override
    {
        posted << title + QStringLiteral(" | ") + body + (sound ? QStringLiteral(" (sound)") : QString());
        co_return NotificationDelivery{};
    }
};

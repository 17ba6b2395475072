#pragma once

#include "platform/session/NotificationService.h"

#include <QStringList>

// Keeps every notification as "<title> | <body>" (with " (sound)" when asked for).
class RecordingNotificationService final : public NotificationService {
public:
    QStringList posted;

    QCoro::Task<NotificationDelivery> notify(QString title, QString body, bool sound) override
    {
        posted << title + QStringLiteral(" | ") + body + (sound ? QStringLiteral(" (sound)") : QString());
        co_return NotificationDelivery{};
    }
};

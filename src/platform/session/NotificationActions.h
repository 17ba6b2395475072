#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <functional>

// The buttons pressed on our desktop notifications, as org.freedesktop.Notifications announces
// them to every listener: each notification that offers one is expected by its id, and forgotten
// once pressed or closed.
class NotificationActions : public QObject {
    Q_OBJECT
public:
    // Notifications whose closing we never heard of are forgotten beyond this many.
    static constexpr qsizetype kMaxExpected = 256;

    void listen(QDBusConnection bus);
    void expect(uint id, std::function<void()> chosen);

private Q_SLOTS:
    void actionInvoked(uint id, const QString& key);
    void notificationClosed(uint id, uint reason);

private:
    QHash<uint, std::function<void()>> m_expected;
};

#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// The part of a desktop notification server that we talk to; remembers what it was sent.
// Register it on a private bus as org.freedesktop.Notifications at /org/freedesktop/Notifications.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QString appIcon;
    QString summary;
    QString body;
    QVariantMap hints;
    QStringList actions;
    int received = 0;
    bool refuse = false;

public Q_SLOTS:
    QStringList GetCapabilities() { return {QStringLiteral("body"), QStringLiteral("sound")}; }
    uint Notify(const QString&, uint, const QString& appIcon_, const QString& summary_, const QString& body_, const QStringList& actions_,
                const QVariantMap& hints_, int)
    {
        if (refuse) {
            sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("body too long"));
            return 0;
        }
        appIcon = appIcon_;
        summary = summary_;
        body = body_;
        hints = hints_;
        actions = actions_;
        return static_cast<uint>(++received);
    }

Q_SIGNALS:
    // What the daemon announces to every listener when a button is pressed, or a notification
    // goes away; register with ExportAllSignals to send them.
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

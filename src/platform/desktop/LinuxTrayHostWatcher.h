#pragma once

#include "platform/desktop/TrayHostWatcher.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QString>

// The trays of a Linux desktop: a status-notifier host on the session bus (the
// org.kde.StatusNotifierWatcher service with a host registered with it, as KDE Plasma, the
// GNOME AppIndicator extension and most panels provide), or an X11 system tray (the owner of
// the _NET_SYSTEM_TRAY selection). A status-notifier host that comes later is noticed when it
// does; an X11 tray is looked for once, at creation.
class LinuxTrayHostWatcher : public TrayHostWatcher {
    Q_OBJECT
public:
    // `x11Display` is an X display name such as ":0"; empty when there is none.
    LinuxTrayHostWatcher(QDBusConnection bus, QString x11Display, QObject* parent = nullptr);
    // The session's bus and $DISPLAY.
    LinuxTrayHostWatcher();

    bool isPresent() const override { return m_present; }

private Q_SLOTS:
    // Asks the status-notifier watcher again whether a host registered, without waiting.
    void lookAgain();

private:
    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    bool m_present = false;
};

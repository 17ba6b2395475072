#pragma once

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>

// One thing the tools need from the desktop, and how this desktop provides it.
struct DesktopCapability {
    QString name; // "Screenshots", "Notifications", "Clipboard", "System tray"
    bool available = false;
    QString route;  // how Zarnel reaches it ("X11", "the screenshot portal", "dunst 1.9.0"), or "none"
    QString advice; // what to install when it is missing; empty when available
};

// What the desktop offers the tools: the screenshot route, the notification service, the
// clipboard route and the tray host. Looked at on request and kept for whoever shows it.
class DesktopCapabilities : public QObject {
    Q_OBJECT
public:
    explicit DesktopCapabilities(QObject* parent = nullptr);

    // In the order above; empty until the first refresh ends.
    const QList<DesktopCapability>& capabilities() const { return m_capabilities; }
    QList<DesktopCapability> missing() const;

    // The tray host is seen by the widget layer, which tells us.
    void setTrayHostAvailable(bool available) { m_trayHost = available; }

    // Looks again without blocking: the session bus is asked asynchronously.
    QCoro::Task<> refresh();

Q_SIGNALS:
    void changed();

private:
    QList<DesktopCapability> m_capabilities;
    bool m_trayHost = false;
};

#include "platform/desktop/DesktopCapabilities.h"

#include "platform/display/DisplayConnection.h"

#include <QCoroDBusPendingCall>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QPointer>
#include <QStandardPaths>

namespace {

constexpr int kCapabilityBusTimeoutMs = 1500;
const QString kScreenshotPortalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kNotificationServiceName = QStringLiteral("org.freedesktop.Notifications");

DesktopCapability availableCapability(const char* name, const QString& route)
{
    return DesktopCapability{QString::fromLatin1(name), true, route, {}};
}

DesktopCapability missingCapability(const char* name, const char* advice)
{
    return DesktopCapability{QString::fromLatin1(name), false, QStringLiteral("none"), QString::fromLatin1(advice)};
}

QString firstProgram(const QStringList& names)
{
    for (const QString& name : names) {
        if (!QStandardPaths::findExecutable(name).isEmpty())
            return name;
    }
    return {};
}

// Whether a bus name has an owner now or is started on demand.
QCoro::Task<bool> serviceReachable(QDBusConnection bus, QString service)
{
    if (!bus.isConnected())
        co_return false;
    for (const char* method : {"NameHasOwner", "ListActivatableNames"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
        if (qstrcmp(method, "NameHasOwner") == 0)
            call << service;
        QDBusPendingCall pending = bus.asyncCall(call, kCapabilityBusTimeoutMs);
        const QDBusMessage reply = co_await pending;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            continue;
        const QVariant answer = reply.arguments().constFirst();
        if (answer.typeId() == QMetaType::Bool ? answer.toBool() : answer.toStringList().contains(service))
            co_return true;
    }
    co_return false;
}

} // namespace

DesktopCapabilities::DesktopCapabilities(QObject* parent)
    : QObject(parent)
{
}

QList<DesktopCapability> DesktopCapabilities::missing() const
{
    QList<DesktopCapability> result;
    for (const DesktopCapability& capability : m_capabilities) {
        if (!capability.available)
            result.append(capability);
    }
    return result;
}

QCoro::Task<> DesktopCapabilities::refresh()
{
    QPointer<DesktopCapabilities> self(this);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const auto display = DisplayConnection::connectedDisplay();
    QList<DesktopCapability> found;

    // Screenshots: the routes the screenshot tool takes, in its order.
    if (display == DisplayConnection::DisplayServer::X11) {
        found.append(availableCapability("Screenshots", QStringLiteral("X11")));
    } else {
        QCoro::Task<bool> asking = serviceReachable(bus, kScreenshotPortalName);
        const bool portal = co_await asking;
        if (!self)
            co_return;
        const QString tool = firstProgram({QStringLiteral("grim"), QStringLiteral("gnome-screenshot"), QStringLiteral("spectacle")});
        if (portal)
            found.append(availableCapability("Screenshots", QStringLiteral("the screenshot portal")));
        else if (!tool.isEmpty())
            found.append(availableCapability("Screenshots", tool));
        else
            found.append(missingCapability("Screenshots",
                                           "install xdg-desktop-portal with the backend of your desktop "
                                           "(xdg-desktop-portal-gnome, -kde or -wlr), or grim"));
    }

    // Notifications: the service's own name and version.
    QDBusMessage information = QDBusMessage::createMethodCall(kNotificationServiceName, QStringLiteral("/org/freedesktop/Notifications"),
                                                              kNotificationServiceName, QStringLiteral("GetServerInformation"));
    QDBusPendingCall pending =
        bus.isConnected() ? bus.asyncCall(information, kCapabilityBusTimeoutMs) : QDBusPendingCall::fromError(QDBusError());
    const QDBusMessage reply = co_await pending;
    if (!self)
        co_return;
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() >= 3)
        found.append(
            availableCapability("Notifications", reply.arguments()[0].toString() + QLatin1Char(' ') + reply.arguments()[2].toString()));
    else
        found.append(missingCapability("Notifications", "install a notification service, for example dunst or notification-daemon"));

    // The clipboard: Qt's own on X11, the wl-clipboard programs on Wayland.
    if (display == DisplayConnection::DisplayServer::X11)
        found.append(availableCapability("Clipboard", QStringLiteral("X11")));
    else if (display == DisplayConnection::DisplayServer::Wayland && !firstProgram({QStringLiteral("wl-paste")}).isEmpty()
             && !firstProgram({QStringLiteral("wl-copy")}).isEmpty())
        found.append(availableCapability("Clipboard", QStringLiteral("wl-clipboard")));
    else
        found.append(missingCapability("Clipboard",
                                       display == DisplayConnection::DisplayServer::Wayland
                                           ? "install wl-clipboard"
                                           : "run Zarnel in a desktop session (X11 or Wayland)"));

    if (m_trayHost)
        found.append(availableCapability("System tray", QStringLiteral("the panel's tray")));
    else
        found.append(missingCapability("System tray",
                                       "add a tray to the panel: a status-notifier host such as the AppIndicator "
                                       "extension on GNOME, or a panel with a system tray area"));

    m_capabilities = std::move(found);
    Q_EMIT changed();
}

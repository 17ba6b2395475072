#include "platform/display/DisplayConnection.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace DisplayConnection {

DisplayServer connectedDisplay()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return DisplayServer::None;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return DisplayServer::X11;
    if (platform.startsWith(QLatin1String("wayland")))
        return DisplayServer::Wayland;
    return DisplayServer::None;
}

} // namespace DisplayConnection

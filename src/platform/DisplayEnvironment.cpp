#include "platform/DisplayEnvironment.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>

namespace DisplayEnvironment {

bool hasDisplaySession()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

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

} // namespace DisplayEnvironment

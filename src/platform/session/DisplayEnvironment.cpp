#include "platform/session/DisplayEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QtGlobal>

#include <xcb/xcb.h>

#include <thread>

namespace DisplayEnvironment {

bool hasDisplaySession()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

namespace {

// A connection to the X display, or none.
xcb_connection_t* connectX11(const QString& display)
{
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection) == 0)
        return connection;
    xcb_disconnect(connection);
    return nullptr;
}

} // namespace

bool canOpenX11Display(const QString& display, const QString& authority)
{
    if (display.isEmpty())
        return false;
    // libxcb reads the key file's name from the environment only.
    const bool hadAuthority = qEnvironmentVariableIsSet("XAUTHORITY");
    const QByteArray previousAuthority = qgetenv("XAUTHORITY");
    if (!authority.isEmpty())
        qputenv("XAUTHORITY", QFile::encodeName(authority));
    xcb_connection_t* connection = connectX11(display);
    const bool opened = connection != nullptr;
    if (connection)
        xcb_disconnect(connection);
    if (hadAuthority)
        qputenv("XAUTHORITY", previousAuthority);
    else
        qunsetenv("XAUTHORITY");
    return opened;
}

DisplayProbe::DisplayProbe()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    if (!display.isEmpty()) {
        // A server resetting after its last client left refuses connections for a moment.
        for (int attempt = 0; attempt < 4 && !m_x11; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            m_x11 = connectX11(display);
        }
        if (m_x11)
            return;
    }
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (wayland.isEmpty())
        return;
    // A name is looked up in the runtime folder, a path taken as it is.
    const QString socketPath =
        QDir::isAbsolutePath(wayland) ? wayland : qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + wayland;
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    m_wayland = socket.waitForConnected(1000);
}

DisplayProbe::~DisplayProbe()
{
    if (m_x11)
        xcb_disconnect(m_x11);
}

bool DisplayProbe::canOpen() const
{
    return m_x11 || m_wayland;
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

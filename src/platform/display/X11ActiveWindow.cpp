#include "platform/display/X11ActiveWindow.h"

#include "platform/display/Xcb.h"

#include <optional>

namespace {

using Xcb::Connection;
using Xcb::existingAtom;
using Xcb::Reply;

// The first 32-bit value of a property, when it has one of the expected type.
std::optional<uint32_t> cardinalProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, type, 0, 1), nullptr));
    if (!reply || reply->type != type || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
}

} // namespace

X11ActiveWindow::X11ActiveWindow(QString display)
    : m_display(std::move(display))
{
}

X11ActiveWindow X11ActiveWindow::fromEnvironment()
{
    return X11ActiveWindow(qEnvironmentVariable("DISPLAY"));
}

std::optional<qint64> X11ActiveWindow::owningProcess() const
{
    if (m_display.isEmpty())
        return std::nullopt;
    int screenNumber = 0;
    const Connection connection(xcb_connect(m_display.toLocal8Bit().constData(), &screenNumber));
    if (xcb_connection_has_error(connection.get()))
        return std::nullopt;

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return std::nullopt;

    const xcb_atom_t activeWindowAtom = existingAtom(connection.get(), "_NET_ACTIVE_WINDOW");
    const xcb_atom_t pidAtom = existingAtom(connection.get(), "_NET_WM_PID");
    if (activeWindowAtom == XCB_ATOM_NONE || pidAtom == XCB_ATOM_NONE)
        return std::nullopt;
    const auto window = cardinalProperty(connection.get(), screens.data->root, activeWindowAtom, XCB_ATOM_WINDOW);
    if (!window || *window == XCB_WINDOW_NONE)
        return std::nullopt;
    const auto pid = cardinalProperty(connection.get(), *window, pidAtom, XCB_ATOM_CARDINAL);
    if (!pid || *pid == 0)
        return std::nullopt;
    return qint64(*pid);
}

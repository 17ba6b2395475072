#pragma once

#include <QString>

struct xcb_connection_t;

// Whether the session this process runs in has a display server to show windows on.
namespace DisplayEnvironment {

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool hasDisplaySession();

// Whether DISPLAY names an X display this process can open, or WAYLAND_DISPLAY a compositor's
// socket it can connect to. Qt aborts on a display it cannot open, which would cost a client
// its server: a display left in the environment by a session that has ended counts as none.
// The X connection is held while the probe lives: keep it until the GUI application has made
// its own, as a bare X server (no window manager) resets when its last client leaves and
// refuses connections while it does.
class DisplayProbe {
public:
    DisplayProbe();
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    bool canOpen() const;

private:
    xcb_connection_t* m_x11 = nullptr;
    bool m_wayland = false;
};

// Whether an X client can open `display` with the key file `authority` (empty: the one the
// environment names, or the default).
bool canOpenX11Display(const QString& display, const QString& authority = {});

enum class DisplayServer { None, X11, Wayland };

// The display server this process is connected to through its GUI application. None without a
// QGuiApplication, and on Qt's offscreen and minimal platforms, whose clipboard and screen no
// one else sees.
DisplayServer connectedDisplay();

} // namespace DisplayEnvironment

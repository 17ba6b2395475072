#pragma once

#include <QString>

// Whether the session this process runs in has a display server to show windows on. Only
// sockets are looked at here: a client's process must not load the display libraries to
// choose its role, and the desktop instance's GUI application makes the full connection.
namespace DisplayEnvironment {

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool hasDisplaySession();

// Whether QT_QPA_PLATFORM chooses Qt's offscreen or minimal platform: they draw nowhere and keep
// their clipboard to themselves, so there is no display to work on whatever DISPLAY says.
bool qtPlatformDrawsNowhere();

// Whether DISPLAY names an X server that accepts connections, or WAYLAND_DISPLAY a compositor's
// socket that does. Qt aborts on a display it cannot open, which would cost a client its
// server: a display left in the environment by a session that has ended counts as none.
// Nothing is said to the X server: a bare X server (no window manager) resets when its last
// client leaves, and a probe that counted as a client would reset it under the GUI application
// that comes next.
class DisplayProbe {
public:
    DisplayProbe();

    bool canOpen() const { return m_open; }

private:
    bool m_open = false;
};

// Whether an X server listens at `display` (":0", "unix:1.0", "host:10"). The key in
// `authority` is the X server's to check, which the GUI application's connection does.
bool canOpenX11Display(const QString& display, const QString& authority = {});

} // namespace DisplayEnvironment

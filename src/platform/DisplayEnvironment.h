#pragma once

#include <QString>

// Whether the session this process runs in has a display server to show windows on.
namespace DisplayEnvironment {

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool hasDisplaySession();

enum class DisplayServer { None, X11, Wayland };

// The display server this process is connected to through its GUI application. None without a
// QGuiApplication, and on Qt's offscreen and minimal platforms, whose clipboard and screen no
// one else sees.
DisplayServer connectedDisplay();

} // namespace DisplayEnvironment

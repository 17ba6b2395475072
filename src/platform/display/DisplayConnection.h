#pragma once

// The display this process's GUI application is connected to. Part of the library loaded on
// demand: only a process with a GUI application has one.
namespace DisplayConnection {

enum class DisplayServer { None, X11, Wayland };

// None without a QGuiApplication, and on Qt's offscreen and minimal platforms, whose clipboard
// and screen no one else sees.
DisplayServer connectedDisplay();

} // namespace DisplayConnection

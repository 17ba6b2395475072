#pragma once

#include <QString>

// Whether the session this process runs in has a display server to show windows on.
namespace DisplayEnvironment {

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool hasDisplaySession();

} // namespace DisplayEnvironment

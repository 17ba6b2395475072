#pragma once

#include <QStringList>

// A launch that serves: chooses its role from the session and standard input (headless, an MCP
// client's process, the user's desktop instance, or a second user launch that hands over to
// the running desktop instance) and runs it until it ends.
namespace Launch {

// `hidden`: a desktop instance starts with the tray item only.
int serve(int& argc, char** argv, bool hidden);

// How the session starts the desktop instance at login (its window hidden).
QStringList desktopInstanceCommand();

} // namespace Launch

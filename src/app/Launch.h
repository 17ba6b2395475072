#pragma once

#include <QStringList>

#include <memory>

class QCoreApplication;

// A launch that serves: chooses its role from the session and standard input (headless, an MCP
// client's process, the user's desktop instance, or a second user launch that hands over to
// the running desktop instance) and runs it until it ends.
namespace Launch {

// `hidden`: a desktop instance starts with the tray item only.
int serve(int& argc, char** argv, bool hidden);

// The application object of a process that shows windows or reaches the display for its tools
// (a GUI one, on Wayland's own platform when there is no X display), or of one that does not.
// `displayOptional`: the display is wanted only for what it offers the tools; one that cannot
// be reached leaves them without it instead of ending the program.
std::unique_ptr<QCoreApplication> createApplication(int& argc, char** argv, bool windows, bool displayOptional = false);

// How the session starts the desktop instance at login (its window hidden).
QStringList desktopInstanceCommand();

} // namespace Launch

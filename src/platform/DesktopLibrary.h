#pragma once

#include <QString>

#include <memory>

class ActiveWindow;
class Clipboard;
class DesktopShell;
class QCoreApplication;
class ScreenGrabber;
struct DesktopShellSetup;

// What the desktop library offers the program. A client's process serves without Qt Gui,
// Widgets or any display library; the desktop instance, the sub-commands that reach the
// display, and a client's process that has to do display work itself load the library, and
// the library's one entry hands over this table.
struct DesktopLibraryFunctions {
    int version;
    // A GUI application object, on Wayland's own platform when there is no X display.
    // `displayOptional`: the display is wanted only for what it offers the tools; one that
    // cannot be reached leaves them without it instead of ending the program. Null when the
    // display is not optional and cannot be opened.
    QCoreApplication* (*createGuiApplication)(int& argc, char** argv, bool displayOptional);
    // "X11" or "Wayland" for the display the GUI application is connected to, else null.
    const char* (*connectedDisplayName)();
    // Through the GUI application where the process has one (the desktop instance), else
    // straight from the display server (a client's process doing its own display work).
    Clipboard* (*createClipboard)();
    ScreenGrabber* (*createScreenGrabber)();
    ActiveWindow* (*createActiveWindow)();
    // The tray item, the dashboard and the dialogs over the running server.
    DesktopShell* (*createDesktopShell)(const DesktopShellSetup& setup);
};

// Raised whenever the table changes, so that a library left from another build is refused. The
// entry returns the table as `const void*`.
inline constexpr int kDesktopLibraryVersion = 2;
#define ZARNEL_DESKTOP_LIBRARY_ENTRY "zarnel_desktop_library"

namespace DesktopLibrary {

// The library beside the core library, loaded on the first call (from any thread); null when
// it cannot be loaded, and `loadError()` says why.
const DesktopLibraryFunctions* functions();
QString loadError();
// Whether it has been loaded, without loading it.
bool isLoaded();

// Stand-ins that load the library only when first used, so that a process that never does
// display work never maps it.
std::shared_ptr<Clipboard> clipboard();
std::shared_ptr<ScreenGrabber> screenGrabber();
std::shared_ptr<const ActiveWindow> activeWindow();

} // namespace DesktopLibrary

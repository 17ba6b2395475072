#pragma once

#include <functional>

class Clock;
class ControlFolder;
class ControlServer;
class ServerComponents;

// What the desktop instance's shell is given by the launch that serves.
struct DesktopShellSetup {
    ServerComponents& components;
    ControlServer& control;
    const ControlFolder& folder;
    const Clock& clock;
    // Ends the program in order (statistics saved, processes ended).
    std::function<void()> quit;
};

// The desktop instance's part that lives in the desktop library: the tray item, the dashboard,
// the confirmation dialogs and the notifications about every process of the user.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // After the server has (or has not) been started: puts the item in the tray and shows the
    // window unless `hidden`.
    virtual void start(bool hidden) = 0;
};

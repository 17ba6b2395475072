#pragma once

#include "platform/session/ActiveWindow.h"

#include <QString>

// The focused window as an EWMH window manager announces it: the root window's
// _NET_ACTIVE_WINDOW, and that window's _NET_WM_PID. Opens a short connection to the X server
// on each call, so it may be used from any thread.
class X11ActiveWindow : public ActiveWindow {
public:
    // `display` is an X display name such as ":0"; empty means there is no display.
    explicit X11ActiveWindow(QString display);

    // The display named by $DISPLAY.
    static X11ActiveWindow fromEnvironment();

    std::optional<qint64> owningProcess() const override;

private:
    QString m_display;
};

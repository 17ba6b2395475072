#pragma once

#include "platform/session/ScreenGrabber.h"

#include <memory>

struct xcb_connection_t;

// Captures the X11 root window through an X connection of its own, for a process that has no
// GUI application. The display comes from DISPLAY (and its key file from XAUTHORITY) unless
// given.
class XcbScreenGrabber final : public ScreenGrabber {
public:
    explicit XcbScreenGrabber(QString display = qEnvironmentVariable("DISPLAY"));

    bool hasScreen() const override;
    QCoro::Task<ScreenCapture> captureToFile(QString path) override;

private:
    // Kept open between captures: a bare X server resets when its last client leaves and refuses
    // connections meanwhile, so connecting to ask and again to capture could fail the capture.
    // Opened again once the server has gone; nothing when the display cannot be opened.
    std::shared_ptr<xcb_connection_t> connection() const;
    // The blocking part, on a worker thread (an xcb connection may be used from any thread).
    static ScreenCapture captureRootWindow(std::shared_ptr<xcb_connection_t> connection, int screenNumber, QString path);

    QString m_display;
    mutable std::shared_ptr<xcb_connection_t> m_connection;
    mutable int m_screenNumber = 0;
};

#pragma once

#include <QtGlobal>

#include <optional>

// The window that has the keyboard focus on the user's display.
class ActiveWindow {
public:
    virtual ~ActiveWindow() = default;

    // The process that owns the focused window; nothing without a display, without a focused
    // window or when the window does not name its process.
    virtual std::optional<qint64> owningProcess() const = 0;
};

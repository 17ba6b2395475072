#pragma once

#include <QCoroTask>
#include <QString>

// The outcome of a screen capture into a file.
struct ScreenCapture {
    enum class Status {
        Saved,
        NoScreen,
        // The capture could not be made or written; `error` says why.
        CouldNotCapture,
        // The capturing program ran but reported a failure; `error` says what it said, if anything.
        Failed,
    };
    Status status = Status::Saved;
    QString error;
};

// Captures the whole (main) screen as a PNG file.
class ScreenGrabber {
public:
    virtual ~ScreenGrabber() = default;

    virtual bool hasScreen() const = 0;
    // Writes a PNG of the screen to `path`, replacing what is there.
    virtual QCoro::Task<ScreenCapture> captureToFile(QString path) = 0;
};

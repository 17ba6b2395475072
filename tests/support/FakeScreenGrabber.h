#pragma once

#include "platform/session/ScreenGrabber.h"

#include <QByteArray>
#include <QFile>

// Writes fixed bytes where it is told to, or fails the way the test says.
class FakeScreenGrabber final : public ScreenGrabber {
public:
    bool screen = true;
    ScreenCapture::Status result = ScreenCapture::Status::Saved;
    QString error;
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\nfake", 12);
    QString lastPath;

    bool hasScreen() const override { return screen; }
    QCoro::Task<ScreenCapture> captureToFile(QString path) override
    {
        lastPath = path;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(png);
        ScreenCapture capture;
        capture.status = result;
        capture.error = error;
        co_return capture;
    }
};

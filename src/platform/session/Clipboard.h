#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

// Whether a copy really happened, and why not.
struct ClipboardWrite {
    bool copied = false;
    QString failure;
};

// The desktop clipboard as the clipboard tools see it. Call on the main thread. Awaitable, as
// the clipboard may be another process's (the desktop instance's): the event loop goes on
// answering pings and cancellations while it answers.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Why the clipboard cannot be read now (for example "no display", or what the program that
    // reads it said); nothing when it can, however empty it is.
    virtual QCoro::Task<std::optional<QString>> unavailableReason() = 0;
    virtual QCoro::Task<std::optional<QString>> text() = 0;
    virtual QCoro::Task<std::optional<QByteArray>> imagePng() = 0;
    virtual QCoro::Task<std::optional<QStringList>> filePaths() = 0;
    virtual QCoro::Task<ClipboardWrite> setText(QString text) = 0;
};

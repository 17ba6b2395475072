#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Whether a copy really happened, and why not.
struct ClipboardWrite {
    bool copied = false;
    QString failure;
};

// The desktop clipboard as the clipboard tools see it. Call on the main thread.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Why the clipboard cannot be read now (for example "no display", or what the program that
    // reads it said); nothing when it can, however empty it is.
    virtual std::optional<QString> unavailableReason() const = 0;
    virtual std::optional<QString> text() const = 0;
    virtual std::optional<QByteArray> imagePng() const = 0;
    virtual std::optional<QStringList> filePaths() const = 0;
    virtual ClipboardWrite setText(const QString& text) = 0;
};

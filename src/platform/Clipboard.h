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
    virtual std::optional<QString> text() const = 0;
    virtual std::optional<QByteArray> imagePng() const = 0;
    virtual std::optional<QStringList> filePaths() const = 0;
    virtual ClipboardWrite setText(const QString& text) = 0;
};

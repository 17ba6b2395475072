#pragma once

#include "platform/session/Clipboard.h"

#include <chrono>
#include <memory>

class X11Selection;

// The X11 clipboard (the CLIPBOARD selection) spoken to directly over its own X connection, for a
// process that has no GUI application. Text we copy stays on offer while this object lives: the
// X server asks us for it, and we answer from the event loop. A read waits for the owner's answer
// for a bounded time and blocks the main thread meanwhile, as Qt's own X11 clipboard does.
class XcbClipboard final : public Clipboard {
public:
    // `display` as in DISPLAY (the key file comes from XAUTHORITY, as for any X client); empty
    // means there is none.
    explicit XcbClipboard(QString display = qEnvironmentVariable("DISPLAY"),
                          std::chrono::milliseconds answerLimit = std::chrono::seconds(2));
    ~XcbClipboard() override;

    QCoro::Task<std::optional<QString>> unavailableReason() override;
    QCoro::Task<std::optional<QString>> text() override;
    QCoro::Task<std::optional<QByteArray>> imagePng() override;
    QCoro::Task<std::optional<QStringList>> filePaths() override;
    QCoro::Task<ClipboardWrite> setText(QString text) override;

private:
    std::optional<QString> readReason() const;
    std::optional<QString> readText() const;
    std::optional<QByteArray> readImagePng() const;
    std::optional<QStringList> readFilePaths() const;
    ClipboardWrite copyText(const QString& text);
    // The connection, opened on first use and again after the X server has gone: nothing when no
    // display can be opened.
    X11Selection* selection() const;

    QString m_display;
    std::chrono::milliseconds m_answerLimit;
    mutable std::unique_ptr<X11Selection> m_selection;
};

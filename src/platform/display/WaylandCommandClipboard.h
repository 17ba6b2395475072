#pragma once

#include "platform/session/Clipboard.h"

#include <chrono>

// The Wayland clipboard through the wl-copy and wl-paste commands: a Wayland client may touch the
// clipboard only while one of its windows has focus, these commands may at any time. Each
// command runs under a time limit with its output kept away from ours.
class WaylandCommandClipboard final : public Clipboard {
public:
    explicit WaylandCommandClipboard(QString copyProgram = QStringLiteral("wl-copy"), QString pasteProgram = QStringLiteral("wl-paste"),
                                     std::chrono::milliseconds timeLimit = std::chrono::seconds(5));

    // Asks wl-paste what the clipboard offers: its own error when it cannot tell, or that it is
    // not installed. An empty clipboard is no reason.
    QCoro::Task<std::optional<QString>> unavailableReason() override;
    QCoro::Task<std::optional<QString>> text() override;
    QCoro::Task<std::optional<QByteArray>> imagePng() override;
    QCoro::Task<std::optional<QStringList>> filePaths() override;
    QCoro::Task<ClipboardWrite> setText(QString text) override;

private:
    // The commands, run to their end off the main thread.
    std::optional<QString> readReason() const;
    std::optional<QString> readText() const;
    std::optional<QByteArray> readImagePng() const;
    std::optional<QStringList> readFilePaths() const;
    ClipboardWrite copyText(const QString& text) const;
    QStringList offeredTypes(QString* failure = nullptr) const;
    std::optional<QByteArray> paste(const QString& type) const;

    QString m_copyProgram;
    QString m_pasteProgram;
    std::chrono::milliseconds m_timeLimit;
};

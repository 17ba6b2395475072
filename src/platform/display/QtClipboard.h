#pragma once

#include "platform/session/Clipboard.h"

// The clipboard of the X11 display (also XWayland's) through Qt. Without a display it is empty
// and refuses copies. What we copy stays on offer to other applications while we run.
class QtClipboard final : public Clipboard {
public:
    QCoro::Task<std::optional<QString>> unavailableReason() override;
    QCoro::Task<std::optional<QString>> text() override;
    QCoro::Task<std::optional<QByteArray>> imagePng() override;
    QCoro::Task<std::optional<QStringList>> filePaths() override;
    QCoro::Task<ClipboardWrite> setText(QString text) override;
};

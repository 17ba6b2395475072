#pragma once

#include "platform/session/Clipboard.h"

// The clipboard of the X11 display (also XWayland's) through Qt. Without a display it is empty
// and refuses copies. What we copy stays on offer to other applications while we run.
class QtClipboard final : public Clipboard {
public:
    std::optional<QString> unavailableReason() const override;
    std::optional<QString> text() const override;
    std::optional<QByteArray> imagePng() const override;
    std::optional<QStringList> filePaths() const override;
    ClipboardWrite setText(const QString& text) override;
};

#pragma once

#include "control/ControlProtocol.h"
#include "platform/OnDemand.h"
#include "platform/session/Clipboard.h"

#include <memory>
#include <optional>

class DesktopInstanceFinder;

// The clipboard of a client's process: the desktop instance's, asked over its control socket
// (DisplayCommands), so that what a client copies stays on offer after its process ends. Where
// no desktop instance runs (no display, or none started in time) the in-process clipboard the
// fallback makes serves instead; the fallback is called only then, once.
class DesktopInstanceClipboard final : public Clipboard {
public:
    // May return nothing: the refusals then give the reason there is no desktop instance.
    using Fallback = OnDemand<Clipboard>::Factory;

    // How long one request may take: reading the clipboard of another program can be slow.
    static constexpr int kRequestTimeoutMs = 30'000;

    DesktopInstanceClipboard(std::shared_ptr<DesktopInstanceFinder> finder, Fallback fallback);

    QCoro::Task<std::optional<QString>> unavailableReason() override;
    QCoro::Task<std::optional<QString>> text() override;
    QCoro::Task<std::optional<QByteArray>> imagePng() override;
    QCoro::Task<std::optional<QStringList>> filePaths() override;
    QCoro::Task<ClipboardWrite> setText(QString text) override;

private:
    // The desktop instance's answer; nothing when there is no desktop instance to ask.
    QCoro::Task<std::optional<ControlProtocol::Reply>> ask(Json args);

    std::shared_ptr<DesktopInstanceFinder> m_finder;
    OnDemand<Clipboard> m_fallback;
};

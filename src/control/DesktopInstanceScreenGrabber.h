#pragma once

#include "platform/OnDemand.h"
#include "platform/session/ScreenGrabber.h"

#include <memory>

class DesktopInstanceFinder;

// The screen as a client's process captures it: the desktop instance captures it into a
// transfer file, and this process writes it where it was asked to, so that its own folder
// confinement applies to the destination. Where no desktop instance runs (no display, or none
// started in time) the in-process grabber the fallback makes serves instead; the fallback is
// called only then, once.
class DesktopInstanceScreenGrabber final : public ScreenGrabber {
public:
    // May return nothing: the capture then fails with the reason there is no desktop instance.
    using Fallback = OnDemand<ScreenGrabber>::Factory;

    // A portal may ask the person first, and a large screen takes a while to encode.
    static constexpr int kRequestTimeoutMs = 45'000;

    DesktopInstanceScreenGrabber(std::shared_ptr<DesktopInstanceFinder> finder, Fallback fallback);

    bool hasScreen() const override;
    QCoro::Task<ScreenCapture> captureToFile(QString path) override;

private:
    std::shared_ptr<DesktopInstanceFinder> m_finder;
    OnDemand<ScreenGrabber> m_fallback;
};

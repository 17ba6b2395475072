#pragma once

#include "tools/BaseTool.h"

#include <memory>

class FolderConfinement;
class ScreenGrabber;

// capture_screenshot: the screen as a PNG, returned and optionally kept in a file.
class CaptureScreenshotTool final : public BaseTool {
public:
    explicit CaptureScreenshotTool(std::shared_ptr<ScreenGrabber> screen, std::shared_ptr<const FolderConfinement> confinement = nullptr);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    std::shared_ptr<ScreenGrabber> m_screen;
    std::shared_ptr<const FolderConfinement> m_confinement;
};

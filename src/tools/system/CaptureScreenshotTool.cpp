#include "tools/system/CaptureScreenshotTool.h"

#include "platform/processes/Log.h"
#include "platform/session/ScreenGrabber.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <optional>

ZARNEL_LOGGING_CATEGORY(lcCaptureScreenshot, "CaptureScreenshotTool")

CaptureScreenshotTool::CaptureScreenshotTool(std::shared_ptr<ScreenGrabber> screen, std::shared_ptr<const FolderConfinement> confinement)
    : BaseTool(lcCaptureScreenshot())
    , m_screen(std::move(screen))
    , m_confinement(std::move(confinement))
{
}

MCPTool CaptureScreenshotTool::definition() const
{
    return makeDefinition(
        "capture_screenshot", "Capture a screenshot of the entire screen or a specific window. Returns base64-encoded PNG.",
        {{"display", "string", "Display number (default: main display)"}, {"save_path", "string", "Optional path to save the screenshot"}},
        {});
}

QCoro::Task<MCPToolCallResponse> CaptureScreenshotTool::execute(Arguments arguments, CancellationToken cancellation)
{
    (void)cancellation;
    const auto savePath = getStringArgument(arguments, "save_path", false);
    if (savePath.hasValue() && containsNul(*savePath))
        co_return nulPathResult();
    if (savePath.hasValue()) {
        if (auto refused = confinementRefusal(m_confinement.get(), *savePath, FolderConfinement::Access::Write))
            co_return *refused;
    }
    const auto screen = m_screen;
    if (!screen->hasScreen())
        co_return errorResult(QStringLiteral("No screen available"));

    QString path;
    std::optional<QString> temporaryPath;
    if (savePath.hasValue()) {
        path = *savePath;
    } else {
        // Created exclusively under a name no one can guess, so that nobody can slip a link to
        // another file in under it before we write.
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/zarnel_screenshot_XXXXXX.png"));
        file.setAutoRemove(false);
        if (!file.open())
            co_return errorResult(QStringLiteral("Failed to capture screenshot: ") + file.errorString());
        path = file.fileName();
        temporaryPath = path;
    }
    const auto removeTemporary = [&] {
        if (temporaryPath)
            QFile::remove(*temporaryPath);
    };

    const ScreenCapture capture = co_await screen->captureToFile(path);
    switch (capture.status) {
    case ScreenCapture::Status::Saved: break;
    case ScreenCapture::Status::NoScreen: removeTemporary(); co_return errorResult(QStringLiteral("No screen available"));
    case ScreenCapture::Status::CouldNotCapture:
        removeTemporary();
        co_return errorResult(QStringLiteral("Failed to capture screenshot: ") + capture.error);
    case ScreenCapture::Status::Failed:
        removeTemporary();
        if (!capture.error.isEmpty())
            co_return errorResult(QStringLiteral("Screenshot capture failed: ") + capture.error);
        co_return errorResult(QStringLiteral("Screenshot capture failed"));
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        removeTemporary();
        co_return errorResult(QStringLiteral("Failed to capture screenshot: ") + file.errorString());
    }
    const QByteArray png = file.readAll();
    file.close();
    removeTemporary();
    MCPToolCallResponse response;
    response.content.push_back(MCPContent::text(QStringLiteral("Screenshot captured (%1 bytes)").arg(png.size()).toStdString()));
    response.content.push_back(MCPContent::image(png.toBase64().toStdString(), "image/png"));
    co_return response;
}

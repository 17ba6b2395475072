#include "tools/system/CaptureScreenshotTool.h"

#include "support/FakeScreenGrabber.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

MCPToolCallResponse capture(const std::shared_ptr<FakeScreenGrabber>& screen, const Arguments& arguments = {})
{
    return callTool(CaptureScreenshotTool(screen), arguments);
}

} // namespace

TEST(CaptureScreenshot, ReturnsTheImageAndKeepsItsFileOnlyAtASavePath)
{
    auto screen = std::make_shared<FakeScreenGrabber>();
    const auto response = capture(screen, {{"display", "2"}});
    ASSERT_EQ(response.content.size(), 2u);
    EXPECT_EQ(textOf(response), "Screenshot captured (12 bytes)");
    EXPECT_EQ(response.content[1].asImage()->data, screen->png.toBase64().toStdString());
    EXPECT_EQ(response.content[1].asImage()->mimeType, "image/png");
    EXPECT_FALSE(response.isError.has_value());
    EXPECT_TRUE(screen->lastPath.startsWith(QDir::tempPath() + QStringLiteral("/zarnel_screenshot_")));
    EXPECT_FALSE(QFile::exists(screen->lastPath));

    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("shot.png"));
    capture(screen, {{"save_path", path.toStdString()}});
    EXPECT_EQ(screen->lastPath, path);
    EXPECT_TRUE(QFile::exists(path));
}

TEST(CaptureScreenshot, ReportsEachFailure)
{
    auto screen = std::make_shared<FakeScreenGrabber>();
    // A grabbing program would see the path only up to the NUL and write there.
    QTemporaryDir directory;
    const std::string cutAtNul = directory.filePath(QStringLiteral("shot.png")).toStdString() + std::string("\0.txt", 5);
    EXPECT_EQ(failure(capture(screen, {{"save_path", cutAtNul}})), "Invalid path: contains a NUL character");
    EXPECT_TRUE(screen->lastPath.isEmpty());

    screen->screen = false;
    EXPECT_EQ(failure(capture(screen)), "No screen available");

    screen->screen = true;
    screen->result = ScreenCapture::Status::Failed;
    EXPECT_EQ(failure(capture(screen)), "Screenshot capture failed");
    EXPECT_FALSE(QFile::exists(screen->lastPath));

    screen->error = QStringLiteral("grim: compositor doesn't support wlr-screencopy-unstable-v1");
    EXPECT_EQ(failure(capture(screen)), "Screenshot capture failed: grim: compositor doesn't support wlr-screencopy-unstable-v1");

    screen->result = ScreenCapture::Status::CouldNotCapture;
    screen->error = QStringLiteral("disk full");
    EXPECT_EQ(failure(capture(screen)), "Failed to capture screenshot: disk full");
}

#include "platform/display/XcbScreenGrabber.h"

#include "platform/display/Xcb.h"

#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QImage>
#include <QTemporaryDir>

namespace {

// Draws straight onto the root window of an X server, and stays connected so that a bare server
// does not reset (and forget the drawing) when the grabber's connection ends.
class RootPainter {
public:
    explicit RootPainter(const XvfbServer& x)
        : m_connection(xcb_connect(x.display().toLocal8Bit().constData(), nullptr))
    {
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data;
        for (auto depths = xcb_screen_allowed_depths_iterator(m_screen); depths.rem > 0; xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == m_screen->root_visual)
                    m_visual = *visuals.data;
            }
        }
    }

    // Colours whose channels are all full or empty, which every depth shows exactly.
    void fill(int x, int y, int width, int height, bool red, bool green, bool blue)
    {
        const uint32_t pixel = (red ? m_visual.red_mask : 0) | (green ? m_visual.green_mask : 0) | (blue ? m_visual.blue_mask : 0);
        const xcb_gcontext_t gc = xcb_generate_id(m_connection.get());
        xcb_create_gc(m_connection.get(), gc, m_screen->root, XCB_GC_FOREGROUND, &pixel);
        const xcb_rectangle_t rectangle{int16_t(x), int16_t(y), uint16_t(width), uint16_t(height)};
        xcb_poly_fill_rectangle(m_connection.get(), m_screen->root, gc, 1, &rectangle);
        xcb_free_gc(m_connection.get(), gc);
        // A round trip: the server has drawn when its answer comes.
        const Xcb::Reply<xcb_get_input_focus_reply_t> done(
            xcb_get_input_focus_reply(m_connection.get(), xcb_get_input_focus(m_connection.get()), nullptr));
    }

private:
    Xcb::Connection m_connection;
    xcb_screen_t* m_screen = nullptr;
    xcb_visualtype_t m_visual{};
};

} // namespace

TEST(XcbScreenGrabber, CapturesTheScreenAsItIsDrawnAtEveryDepth)
{
    for (const int depth : {24, 16}) {
        SCOPED_TRACE(depth);
        const XvfbServer x(320, 200, depth);
        ASSERT_TRUE(x.isRunning());
        RootPainter painter(x);
        painter.fill(0, 0, 320, 200, false, false, true);
        painter.fill(0, 0, 40, 20, true, false, false);
        painter.fill(300, 190, 20, 10, false, true, false);

        XcbScreenGrabber grabber(x.display());
        EXPECT_TRUE(grabber.hasScreen());
        const QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("screen.png"));
        const ScreenCapture capture = QCoro::waitFor(grabber.captureToFile(path));
        ASSERT_EQ(capture.status, ScreenCapture::Status::Saved) << capture.error.toStdString();

        const QImage image(path, "PNG");
        ASSERT_EQ(image.size(), QSize(320, 200));
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(39, 19), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(40, 20), qRgb(0, 0, 255));
        EXPECT_EQ(image.pixel(160, 100), qRgb(0, 0, 255));
        EXPECT_EQ(image.pixel(319, 199), qRgb(0, 255, 0));

        const ScreenCapture unwritable = QCoro::waitFor(grabber.captureToFile(folder.filePath(QStringLiteral("missing/screen.png"))));
        EXPECT_EQ(unwritable.status, ScreenCapture::Status::CouldNotCapture);
        EXPECT_FALSE(unwritable.error.isEmpty());
    }
}

TEST(XcbScreenGrabber, WithoutADisplayThereIsNoScreen)
{
    const QTemporaryDir folder;
    for (const QString& display : {QString(), QStringLiteral(":4093")}) {
        SCOPED_TRACE(display.toStdString());
        XcbScreenGrabber grabber(display);
        EXPECT_FALSE(grabber.hasScreen());
        const ScreenCapture capture = QCoro::waitFor(grabber.captureToFile(folder.filePath(QStringLiteral("screen.png"))));
        EXPECT_EQ(capture.status, ScreenCapture::Status::NoScreen);
    }
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("screen.png"))));
}

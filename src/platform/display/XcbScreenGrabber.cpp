#include "platform/display/XcbScreenGrabber.h"

#include "platform/display/Xcb.h"

#include <QCoroFuture>
#include <QFile>
#include <QImage>
#include <QtConcurrent>

#include <bit>
#include <optional>

namespace {

// How the X server lays out the root window's pixels in a ZPixmap image.
struct ScreenPixelLayout {
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    bool mostSignificantByteFirst = false;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
};

ScreenCapture screenCaptureOutcome(ScreenCapture::Status status, const QString& error = {})
{
    ScreenCapture capture;
    capture.status = status;
    capture.error = error;
    return capture;
}

std::optional<ScreenPixelLayout> pixelLayout(const xcb_setup_t* setup, const xcb_screen_t* screen, uint8_t depth, xcb_visualid_t visual)
{
    ScreenPixelLayout layout;
    layout.mostSignificantByteFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0; xcb_format_next(&formats)) {
        if (formats.data->depth == depth) {
            layout.bitsPerPixel = formats.data->bits_per_pixel;
            layout.scanlinePad = formats.data->scanline_pad;
        }
    }
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id != visual)
                continue;
            // Colour-mapped visuals need the colormap to mean anything; desktops of this century
            // use true colour.
            if (visuals.data->_class != XCB_VISUAL_CLASS_TRUE_COLOR && visuals.data->_class != XCB_VISUAL_CLASS_DIRECT_COLOR)
                return std::nullopt;
            layout.redMask = visuals.data->red_mask;
            layout.greenMask = visuals.data->green_mask;
            layout.blueMask = visuals.data->blue_mask;
        }
    }
    const bool known = layout.bitsPerPixel == 16 || layout.bitsPerPixel == 24 || layout.bitsPerPixel == 32;
    if (!known || layout.scanlinePad % 8 != 0 || layout.redMask == 0 || layout.greenMask == 0 || layout.blueMask == 0)
        return std::nullopt;
    return layout;
}

// One colour channel widened (or narrowed) to eight bits.
int channelValue(uint32_t pixel, uint32_t mask)
{
    const uint32_t value = (pixel & mask) >> std::countr_zero(mask);
    const int bits = std::popcount(mask);
    if (bits >= 8)
        return int(value >> (bits - 8));
    return int(value * 255 / ((1u << bits) - 1));
}

QImage imageFromPixels(const uint8_t* pixels, qsizetype length, int width, int height, const ScreenPixelLayout& layout)
{
    const int bytesPerPixel = layout.bitsPerPixel / 8;
    const qsizetype stride =
        (qsizetype(width) * layout.bitsPerPixel + layout.scanlinePad - 1) / layout.scanlinePad * layout.scanlinePad / 8;
    if (stride * height > length)
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + stride * y;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint8_t* bytes = row + qsizetype(x) * bytesPerPixel;
            uint32_t pixel = 0;
            for (int i = 0; i < bytesPerPixel; ++i) {
                const int shift = layout.mostSignificantByteFirst ? 8 * (bytesPerPixel - 1 - i) : 8 * i;
                pixel |= uint32_t(bytes[i]) << shift;
            }
            out[x] = qRgb(channelValue(pixel, layout.redMask), channelValue(pixel, layout.greenMask), channelValue(pixel, layout.blueMask));
        }
    }
    return image;
}

} // namespace

XcbScreenGrabber::XcbScreenGrabber(QString display)
    : m_display(std::move(display))
{
}

std::shared_ptr<xcb_connection_t> XcbScreenGrabber::connection() const
{
    if (m_connection && !xcb_connection_has_error(m_connection.get()))
        return m_connection;
    m_connection.reset();
    if (m_display.isEmpty())
        return nullptr;
    std::shared_ptr<xcb_connection_t> opened(xcb_connect(m_display.toLocal8Bit().constData(), &m_screenNumber), xcb_disconnect);
    if (xcb_connection_has_error(opened.get()))
        return nullptr;
    m_connection = std::move(opened);
    return m_connection;
}

bool XcbScreenGrabber::hasScreen() const
{
    return connection() != nullptr;
}

QCoro::Task<ScreenCapture> XcbScreenGrabber::captureToFile(QString path)
{
    auto opened = connection();
    if (!opened)
        co_return screenCaptureOutcome(ScreenCapture::Status::NoScreen);
    // Reading a large screen and encoding it takes a while: not on the main thread.
    QFuture<ScreenCapture> capture = QtConcurrent::run(&XcbScreenGrabber::captureRootWindow, std::move(opened), m_screenNumber, path);
    co_return co_await capture;
}

ScreenCapture XcbScreenGrabber::captureRootWindow(std::shared_ptr<xcb_connection_t> connection, int screenNumber, QString path)
{
    const xcb_setup_t* setup = xcb_get_setup(connection.get());
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return screenCaptureOutcome(ScreenCapture::Status::NoScreen);
    const xcb_screen_t* screen = screens.data;

    const Xcb::Reply<xcb_get_image_reply_t> grab(
        xcb_get_image_reply(connection.get(),
                            xcb_get_image(connection.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0, screen->width_in_pixels,
                                          screen->height_in_pixels, ~0u),
                            nullptr));
    if (!grab)
        return screenCaptureOutcome(ScreenCapture::Status::CouldNotCapture,
                                    QStringLiteral("the X server did not hand out the screen's image"));
    const auto layout = pixelLayout(setup, screen, grab->depth, grab->visual);
    if (!layout)
        return screenCaptureOutcome(ScreenCapture::Status::CouldNotCapture,
                                    QStringLiteral("the screen's pixel format (depth %1) is not one we can read").arg(grab->depth));
    const QImage image = imageFromPixels(xcb_get_image_data(grab.get()), xcb_get_image_data_length(grab.get()), screen->width_in_pixels,
                                         screen->height_in_pixels, *layout);
    if (image.isNull())
        return screenCaptureOutcome(ScreenCapture::Status::CouldNotCapture, QStringLiteral("the X server sent an incomplete image"));

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return screenCaptureOutcome(ScreenCapture::Status::CouldNotCapture, file.errorString());
    if (!image.save(&file, "PNG")) {
        const bool writeFailed = file.error() != QFileDevice::NoError;
        return screenCaptureOutcome(ScreenCapture::Status::CouldNotCapture,
                                    writeFailed ? file.errorString() : QStringLiteral("cannot encode the image as PNG"));
    }
    return screenCaptureOutcome(ScreenCapture::Status::Saved);
}

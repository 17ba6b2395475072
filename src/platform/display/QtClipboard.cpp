#include "platform/display/QtClipboard.h"

#include "platform/display/DisplayConnection.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>

namespace {

const QMimeData* clipboardContents()
{
    if (DisplayConnection::connectedDisplay() != DisplayConnection::DisplayServer::X11)
        return nullptr;
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}

std::optional<QString> reasonForNone()
{
    if (DisplayConnection::connectedDisplay() != DisplayConnection::DisplayServer::X11)
        return QStringLiteral("no display");
    return std::nullopt;
}

std::optional<QByteArray> imageAsPng(const QMimeData* contents)
{
    if (!contents || !contents->hasImage())
        return std::nullopt;
    const QImage image = qvariant_cast<QImage>(contents->imageData());
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

ClipboardWrite copyText(const QString& text)
{
    if (const auto reason = reasonForNone())
        return {false, *reason};
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    // Owning the selection is what makes the text available to others; without it the X
    // server did not take our offer.
    if (!clipboard->ownsClipboard())
        return {false, QStringLiteral("the display did not accept the copy")};
    return {true, {}};
}

} // namespace

QCoro::Task<std::optional<QString>> QtClipboard::unavailableReason()
{
    co_return reasonForNone();
}

QCoro::Task<std::optional<QString>> QtClipboard::text()
{
    const QMimeData* contents = clipboardContents();
    if (!contents || !contents->hasText())
        co_return std::nullopt;
    co_return contents->text();
}

QCoro::Task<std::optional<QByteArray>> QtClipboard::imagePng()
{
    co_return imageAsPng(clipboardContents());
}

QCoro::Task<std::optional<QStringList>> QtClipboard::filePaths()
{
    const QMimeData* contents = clipboardContents();
    if (!contents || !contents->hasUrls())
        co_return std::nullopt;
    QStringList paths;
    for (const QUrl& url : contents->urls())
        paths.append(url.path());
    co_return paths;
}

QCoro::Task<ClipboardWrite> QtClipboard::setText(QString text)
{
    co_return copyText(text);
}

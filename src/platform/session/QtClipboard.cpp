#include "platform/session/QtClipboard.h"

#include "platform/session/DisplayConnection.h"

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

} // namespace

std::optional<QString> QtClipboard::unavailableReason() const
{
    if (DisplayConnection::connectedDisplay() != DisplayConnection::DisplayServer::X11)
        return QStringLiteral("no display");
    return std::nullopt;
}

std::optional<QString> QtClipboard::text() const
{
    const QMimeData* contents = clipboardContents();
    if (!contents || !contents->hasText())
        return std::nullopt;
    return contents->text();
}

std::optional<QByteArray> QtClipboard::imagePng() const
{
    const QMimeData* contents = clipboardContents();
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

std::optional<QStringList> QtClipboard::filePaths() const
{
    const QMimeData* contents = clipboardContents();
    if (!contents || !contents->hasUrls())
        return std::nullopt;
    QStringList paths;
    for (const QUrl& url : contents->urls())
        paths.append(url.path());
    return paths;
}

ClipboardWrite QtClipboard::setText(const QString& text)
{
    if (const auto reason = unavailableReason())
        return {false, *reason};
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    // Owning the selection is what makes the text available to others; without it the X
    // server did not take our offer.
    if (!clipboard->ownsClipboard())
        return {false, QStringLiteral("the display did not accept the copy")};
    return {true, {}};
}

#include "platform/display/XcbClipboard.h"

#include "platform/display/X11Selection.h"

#include <QUrl>

namespace {

// Events read along with the replies of a synchronous call wait in xcb's queue, where the socket
// notifier cannot see them: whatever a call read is handled before it returns.
class ClipboardEventsAfterCall {
public:
    explicit ClipboardEventsAfterCall(X11Selection* selection)
        : m_selection(selection)
    {
    }
    ~ClipboardEventsAfterCall() { m_selection->readEvents(); }
    ClipboardEventsAfterCall(const ClipboardEventsAfterCall&) = delete;
    ClipboardEventsAfterCall& operator=(const ClipboardEventsAfterCall&) = delete;

private:
    X11Selection* m_selection;
};

QStringList localPathsInUriList(const QByteArray& uriList)
{
    QStringList paths;
    for (const QByteArray& line : uriList.split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith('#'))
            continue;
        const QUrl url = QUrl::fromEncoded(uri);
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

XcbClipboard::XcbClipboard(QString display, std::chrono::milliseconds answerLimit)
    : m_display(std::move(display))
    , m_answerLimit(answerLimit)
{
}

XcbClipboard::~XcbClipboard() = default;

X11Selection* XcbClipboard::selection() const
{
    if (m_selection && m_selection->isBroken())
        m_selection.reset();
    if (!m_selection)
        m_selection = X11Selection::open(m_display);
    return m_selection.get();
}

std::optional<QString> XcbClipboard::readReason() const
{
    if (!selection())
        return QStringLiteral("no display");
    return std::nullopt;
}

std::optional<QString> XcbClipboard::readText() const
{
    X11Selection* x = selection();
    if (!x)
        return std::nullopt;
    const ClipboardEventsAfterCall handleEvents(x);
    const auto offer = x->offer(m_answerLimit);
    if (!offer)
        return std::nullopt;
    if (offer->ours)
        return x->ownedText();
    // What the owner says it offers, in the order that keeps most of the text.
    for (const xcb_atom_t target : {x->atoms().utf8String, xcb_atom_t(XCB_ATOM_STRING), x->atoms().text}) {
        if (!offer->includes(target))
            continue;
        if (const auto value = x->convert(target, m_answerLimit))
            return value->type == XCB_ATOM_STRING ? QString::fromLatin1(value->bytes) : QString::fromUtf8(value->bytes);
    }
    return std::nullopt;
}

std::optional<QByteArray> XcbClipboard::readImagePng() const
{
    X11Selection* x = selection();
    if (!x)
        return std::nullopt;
    const ClipboardEventsAfterCall handleEvents(x);
    auto png = x->othersContents(x->atoms().png, m_answerLimit);
    if (!png || png->isEmpty())
        return std::nullopt;
    return png;
}

std::optional<QStringList> XcbClipboard::readFilePaths() const
{
    X11Selection* x = selection();
    if (!x)
        return std::nullopt;
    const ClipboardEventsAfterCall handleEvents(x);
    const auto uriList = x->othersContents(x->atoms().uriList, m_answerLimit);
    if (!uriList)
        return std::nullopt;
    QStringList paths = localPathsInUriList(*uriList);
    if (paths.isEmpty())
        return std::nullopt;
    return paths;
}

ClipboardWrite XcbClipboard::copyText(const QString& text)
{
    X11Selection* x = selection();
    if (!x)
        return {false, QStringLiteral("no display")};
    const ClipboardEventsAfterCall handleEvents(x);
    if (!x->own(text))
        return {false, QStringLiteral("the display did not accept the copy")};
    return {true, {}};
}

QCoro::Task<std::optional<QString>> XcbClipboard::unavailableReason()
{
    co_return readReason();
}

QCoro::Task<std::optional<QString>> XcbClipboard::text()
{
    co_return readText();
}

QCoro::Task<std::optional<QByteArray>> XcbClipboard::imagePng()
{
    co_return readImagePng();
}

QCoro::Task<std::optional<QStringList>> XcbClipboard::filePaths()
{
    co_return readFilePaths();
}

QCoro::Task<ClipboardWrite> XcbClipboard::setText(QString text)
{
    co_return copyText(text);
}

#include "platform/display/XcbClipboard.h"

#include "platform/display/Xcb.h"
#include "platform/processes/Log.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QUrl>

#include <poll.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

ZARNEL_LOGGING_CATEGORY(lcXcbClipboard, "XcbClipboard")

// One X connection with a small unmapped window that asks for the clipboard's contents and owns
// the clipboard when we copy. Everything here is synchronous apart from answering other clients,
// which happens whenever events are read: from the event loop, and while a read waits.
class X11Selection {
public:
    using Event = Xcb::Reply<xcb_generic_event_t>;

    struct Atoms {
        xcb_atom_t clipboard = XCB_ATOM_NONE;
        xcb_atom_t targets = XCB_ATOM_NONE;
        xcb_atom_t timestamp = XCB_ATOM_NONE;
        xcb_atom_t utf8String = XCB_ATOM_NONE;
        xcb_atom_t text = XCB_ATOM_NONE;
        xcb_atom_t incr = XCB_ATOM_NONE;
        xcb_atom_t png = XCB_ATOM_NONE;
        xcb_atom_t uriList = XCB_ATOM_NONE;
        // Where owners put what we ask for, on our window.
        xcb_atom_t transfer = XCB_ATOM_NONE;
    };

    struct PropertyValue {
        xcb_atom_t type = XCB_ATOM_NONE;
        QByteArray bytes;
    };

    struct Offer {
        bool ours = false;
        // Empty when the owner would not say: then every type is worth asking for.
        std::vector<xcb_atom_t> targets;

        bool includes(xcb_atom_t target) const
        {
            return targets.empty() || std::find(targets.begin(), targets.end(), target) != targets.end();
        }
    };

    static std::unique_ptr<X11Selection> open(const QString& display)
    {
        if (display.isEmpty())
            return nullptr;
        int screenNumber = 0;
        Xcb::Connection connection(xcb_connect(display.toLocal8Bit().constData(), &screenNumber));
        if (xcb_connection_has_error(connection.get()))
            return nullptr;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem == 0)
            return nullptr;
        return std::unique_ptr<X11Selection>(new X11Selection(std::move(connection), screens.data->root));
    }

    bool isBroken() const { return xcb_connection_has_error(m_connection.get()) != 0; }
    const Atoms& atoms() const { return m_atoms; }

    // Who offers what: nothing when the clipboard is empty or its owner did not answer in time.
    std::optional<Offer> offer(std::chrono::milliseconds answerLimit)
    {
        const Xcb::Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(connection(), xcb_get_selection_owner(connection(), m_atoms.clipboard), nullptr));
        if (!owner || owner->owner == XCB_WINDOW_NONE)
            return std::nullopt;
        Offer offer;
        if (owner->owner == m_window) {
            offer.ours = true;
            return offer;
        }
        // A hung owner would otherwise cost the full wait once for each kind of contents asked.
        if (owner->owner == m_silentOwner && !m_silentOwnerAskedAgain.hasExpired())
            return std::nullopt;
        bool answered = false;
        const auto targets = convert(m_atoms.targets, answerLimit, &answered);
        if (!answered) {
            m_silentOwner = owner->owner;
            m_silentOwnerAskedAgain = QDeadlineTimer(kSilentOwnerPatience);
            return std::nullopt;
        }
        if (targets && targets->type == XCB_ATOM_ATOM) {
            offer.targets.resize(size_t(targets->bytes.size()) / sizeof(xcb_atom_t));
            std::memcpy(offer.targets.data(), targets->bytes.constData(), offer.targets.size() * sizeof(xcb_atom_t));
        }
        return offer;
    }

    // Asks the owner for the clipboard as `target`: nothing when it refused or did not answer
    // (`answered` tells which).
    std::optional<PropertyValue> convert(xcb_atom_t target, std::chrono::milliseconds answerLimit, bool* answered = nullptr)
    {
        xcb_delete_property(connection(), m_window, m_atoms.transfer);
        xcb_convert_selection(connection(), m_window, m_atoms.clipboard, target, m_atoms.transfer, XCB_CURRENT_TIME);
        const Event answer = waitFor(
            [&](const xcb_generic_event_t* event) {
                if (eventType(event) != XCB_SELECTION_NOTIFY)
                    return false;
                const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
                return notify->requestor == m_window && notify->selection == m_atoms.clipboard && notify->target == target;
            },
            answerLimit);
        if (!answer) {
            qCInfo(lcXcbClipboard) << "the clipboard's owner did not answer in time";
            return std::nullopt;
        }
        if (answered)
            *answered = true;
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(answer.get());
        if (notify->property == XCB_ATOM_NONE)
            return std::nullopt;
        auto value = takeProperty(notify->property);
        if (!value || value->type != m_atoms.incr)
            return value;
        qCDebug(lcXcbClipboard) << "the clipboard's owner sends its contents in parts";
        return receiveInParts(notify->property, answerLimit);
    }

    // The contents as `target` when another application offers them so (we offer only text).
    std::optional<QByteArray> othersContents(xcb_atom_t target, std::chrono::milliseconds answerLimit)
    {
        const auto offered = offer(answerLimit);
        if (!offered || offered->ours || !offered->includes(target))
            return std::nullopt;
        auto value = convert(target, answerLimit);
        if (!value)
            return std::nullopt;
        return std::move(value->bytes);
    }

    std::optional<QString> ownedText() const { return m_ownedText; }

    bool own(const QString& text)
    {
        const xcb_timestamp_t time = serverTime();
        // Set before the request: the first SelectionRequest may come before we hear back.
        m_ownedText = text;
        m_ownedSince = time;
        xcb_set_selection_owner(connection(), m_window, m_atoms.clipboard, time);
        const Xcb::Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(connection(), xcb_get_selection_owner(connection(), m_atoms.clipboard), nullptr));
        if (!owner || owner->owner != m_window) {
            m_ownedText.reset();
            return false;
        }
        return true;
    }

    // Answers whatever other clients asked while we were busy or idle.
    void readEvents()
    {
        while (const Event event{xcb_poll_for_event(connection())})
            handle(event.get());
        // A connection that has ended stays readable: without this the event loop would spin.
        if (isBroken())
            m_notifier.setEnabled(false);
    }

private:
    // What an owner may send us, whole or in parts: more is refused rather than held in memory.
    static constexpr qsizetype kMaxReceivedBytes = qsizetype(256) << 20;
    // How much of a property one request reads.
    static constexpr uint32_t kPropertyReadWords = 1u << 20;
    // A requestor that stops taking the parts of a large text is given up after this long.
    static constexpr std::chrono::seconds kTransferPatience{30};
    // An owner that did not answer is not asked again for this long.
    static constexpr std::chrono::seconds kSilentOwnerPatience{10};

    // A text too large for one property, handed to a requestor part by part as it deletes each.
    struct OutgoingTransfer {
        xcb_window_t requestor = XCB_WINDOW_NONE;
        xcb_atom_t property = XCB_ATOM_NONE;
        xcb_atom_t type = XCB_ATOM_NONE;
        QByteArray bytes;
        qsizetype sent = 0;
        QDeadlineTimer expiry;
    };

    static uint8_t eventType(const xcb_generic_event_t* event) { return event->response_type & ~0x80; }

    static Atoms internAtoms(xcb_connection_t* connection)
    {
        // All requests first, then all replies: one round trip instead of nine.
        const std::array names{"CLIPBOARD", "TARGETS",   "TIMESTAMP",     "UTF8_STRING",     "TEXT",
                               "INCR",      "image/png", "text/uri-list", "ZARNEL_SELECTION"};
        std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
        for (size_t i = 0; i < names.size(); ++i)
            cookies[i] = xcb_intern_atom(connection, 0, uint16_t(strlen(names[i])), names[i]);
        std::array<xcb_atom_t, names.size()> atoms{};
        for (size_t i = 0; i < names.size(); ++i) {
            const Xcb::Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookies[i], nullptr));
            atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        }
        return {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5], atoms[6], atoms[7], atoms[8]};
    }

    X11Selection(Xcb::Connection opened, xcb_window_t root)
        : m_connection(std::move(opened))
        , m_window(xcb_generate_id(m_connection.get()))
        , m_atoms(internAtoms(m_connection.get()))
        , m_notifier(xcb_get_file_descriptor(m_connection.get()), QSocketNotifier::Read)
    {
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection(), XCB_COPY_FROM_PARENT, m_window, root, -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        // As Qt does: parts no larger than a quarter megabyte, whatever the server would take.
        const uint32_t requestWords = xcb_get_maximum_request_length(connection());
        m_maxPropertyBytes = qsizetype(std::min<uint32_t>(requestWords, 65536)) * 4 - 100;
        xcb_flush(connection());
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] { readEvents(); });
    }

    xcb_connection_t* connection() const { return m_connection.get(); }

    // Reads events until one is `wanted`, handling the others, for at most `limit`.
    Event waitFor(const std::function<bool(const xcb_generic_event_t*)>& wanted, std::chrono::milliseconds limit)
    {
        const QDeadlineTimer deadline(limit);
        xcb_flush(connection());
        for (;;) {
            while (Event event{xcb_poll_for_event(connection())}) {
                if (wanted(event.get()))
                    return event;
                handle(event.get());
            }
            const qint64 left = deadline.remainingTime();
            if (isBroken() || left == 0)
                return {};
            pollfd descriptor{xcb_get_file_descriptor(connection()), POLLIN, 0};
            ::poll(&descriptor, 1, int(left));
        }
    }

    // The whole value of a property of our window, which is then deleted (for a transfer in
    // parts, the deletion is what asks for the next part).
    std::optional<PropertyValue> takeProperty(xcb_atom_t property)
    {
        PropertyValue value;
        for (uint32_t offset = 0;;) {
            const Xcb::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                connection(), xcb_get_property(connection(), 0, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, kPropertyReadWords),
                nullptr));
            if (!reply || reply->type == XCB_ATOM_NONE)
                return std::nullopt;
            const int length = xcb_get_property_value_length(reply.get());
            value.type = reply->type;
            value.bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
            if (value.bytes.size() > kMaxReceivedBytes)
                return std::nullopt;
            if (reply->bytes_after == 0)
                break;
            offset += uint32_t(length) / 4;
        }
        xcb_delete_property(connection(), m_window, property);
        xcb_flush(connection());
        return value;
    }

    std::optional<PropertyValue> receiveInParts(xcb_atom_t property, std::chrono::milliseconds answerLimit)
    {
        PropertyValue whole;
        for (;;) {
            const Event written = waitFor(
                [&](const xcb_generic_event_t* event) {
                    if (eventType(event) != XCB_PROPERTY_NOTIFY)
                        return false;
                    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                    return change->window == m_window && change->atom == property && change->state == XCB_PROPERTY_NEW_VALUE;
                },
                answerLimit);
            if (!written) {
                qCInfo(lcXcbClipboard) << "the clipboard's owner stopped sending after" << whole.bytes.size() << "bytes";
                return std::nullopt;
            }
            const auto part = takeProperty(property);
            if (!part)
                return std::nullopt;
            if (part->bytes.isEmpty())
                return whole;
            whole.type = part->type;
            whole.bytes += part->bytes;
            if (whole.bytes.size() > kMaxReceivedBytes) {
                qCInfo(lcXcbClipboard) << "the clipboard holds more than" << kMaxReceivedBytes << "bytes: not read";
                return std::nullopt;
            }
        }
    }

    // The server's time now, which owning a selection needs: the stamp of a change to our window.
    xcb_timestamp_t serverTime()
    {
        xcb_change_property(connection(), XCB_PROP_MODE_APPEND, m_window, m_atoms.transfer, XCB_ATOM_STRING, 8, 0, nullptr);
        const Event changed = waitFor(
            [&](const xcb_generic_event_t* event) {
                return eventType(event) == XCB_PROPERTY_NOTIFY
                    && reinterpret_cast<const xcb_property_notify_event_t*>(event)->window == m_window;
            },
            std::chrono::seconds(2));
        return changed ? reinterpret_cast<const xcb_property_notify_event_t*>(changed.get())->time : xcb_timestamp_t(XCB_CURRENT_TIME);
    }

    void handle(const xcb_generic_event_t* event)
    {
        switch (eventType(event)) {
        case XCB_SELECTION_REQUEST: answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event)); break;
        case XCB_SELECTION_CLEAR:
            if (reinterpret_cast<const xcb_selection_clear_event_t*>(event)->selection == m_atoms.clipboard)
                m_ownedText.reset();
            break;
        case XCB_PROPERTY_NOTIFY: {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (change->state == XCB_PROPERTY_DELETE)
                continueTransfer(change->window, change->atom);
            break;
        }
        default: break;
        }
        xcb_flush(connection());
    }

    void answer(const xcb_selection_request_event_t& request)
    {
        // Clients from before ICCCM 2 name no property: the target's name is theirs.
        xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
        const bool current = request.time == XCB_CURRENT_TIME || request.time >= m_ownedSince;
        if (!m_ownedText || request.selection != m_atoms.clipboard || request.owner != m_window || !current
            || !offerTo(request.requestor, property, request.target))
            property = XCB_ATOM_NONE;

        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = property;
        // xcb_send_event copies 32 bytes, more than the event's own size.
        std::array<char, 32> event{};
        static_assert(sizeof(notify) <= sizeof(event));
        std::memcpy(event.data(), &notify, sizeof(notify));
        xcb_send_event(connection(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event.data());
    }

    bool offerTo(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target)
    {
        if (target == m_atoms.targets) {
            const std::array offered{m_atoms.targets, m_atoms.timestamp, m_atoms.utf8String, xcb_atom_t(XCB_ATOM_STRING), m_atoms.text};
            xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32, uint32_t(offered.size()),
                                offered.data());
            return true;
        }
        if (target == m_atoms.timestamp) {
            xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &m_ownedSince);
            return true;
        }
        QByteArray bytes;
        xcb_atom_t type = XCB_ATOM_NONE;
        if (target == m_atoms.utf8String || target == m_atoms.text) {
            bytes = m_ownedText->toUtf8();
            type = m_atoms.utf8String;
        } else if (target == XCB_ATOM_STRING) {
            bytes = m_ownedText->toLatin1();
            type = XCB_ATOM_STRING;
        } else {
            return false;
        }
        if (bytes.size() <= m_maxPropertyBytes) {
            xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, type, 8, uint32_t(bytes.size()),
                                bytes.constData());
            return true;
        }
        qCDebug(lcXcbClipboard) << "handing" << bytes.size() << "bytes to a requestor in parts";
        // Too large for one property: announce the size, then hand out a part each time the
        // requestor deletes the last one, which we hear about through its window's events.
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection(), requestor, XCB_CW_EVENT_MASK, &events);
        const uint32_t size = uint32_t(bytes.size());
        xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, m_atoms.incr, 32, 1, &size);
        m_transfers.push_back({requestor, property, type, bytes, 0, QDeadlineTimer(kTransferPatience)});
        return true;
    }

    void continueTransfer(xcb_window_t requestor, xcb_atom_t property)
    {
        std::erase_if(m_transfers, [](const OutgoingTransfer& transfer) { return transfer.expiry.hasExpired(); });
        const auto transfer = std::find_if(m_transfers.begin(), m_transfers.end(), [&](const OutgoingTransfer& candidate) {
            return candidate.requestor == requestor && candidate.property == property;
        });
        if (transfer == m_transfers.end())
            return;
        const qsizetype part = std::min(m_maxPropertyBytes, transfer->bytes.size() - transfer->sent);
        // The last part is an empty one: it tells the requestor that the text is complete.
        xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, transfer->type, 8, uint32_t(part),
                            transfer->bytes.constData() + transfer->sent);
        if (part > 0) {
            transfer->sent += part;
            transfer->expiry = QDeadlineTimer(kTransferPatience);
            return;
        }
        m_transfers.erase(transfer);
        const bool stillTaking = std::any_of(m_transfers.begin(), m_transfers.end(),
                                             [&](const OutgoingTransfer& other) { return other.requestor == requestor; });
        if (!stillTaking) {
            const uint32_t noEvents = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(connection(), requestor, XCB_CW_EVENT_MASK, &noEvents);
        }
    }

    Xcb::Connection m_connection;
    xcb_window_t m_window;
    Atoms m_atoms;
    qsizetype m_maxPropertyBytes = 0;
    std::optional<QString> m_ownedText;
    xcb_timestamp_t m_ownedSince = XCB_CURRENT_TIME;
    std::vector<OutgoingTransfer> m_transfers;
    xcb_window_t m_silentOwner = XCB_WINDOW_NONE;
    QDeadlineTimer m_silentOwnerAskedAgain;
    // Last: it refers to the connection and must go first.
    QSocketNotifier m_notifier;
};

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

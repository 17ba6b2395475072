#include "platform/display/X11Selection.h"

#include "platform/processes/Log.h"

#include <poll.h>

#include <array>
#include <cstring>

ZARNEL_LOGGING_CATEGORY(lcX11Selection, "X11Selection")

std::unique_ptr<X11Selection> X11Selection::open(const QString& display)
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

std::optional<X11Selection::Offer> X11Selection::offer(std::chrono::milliseconds answerLimit)
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

std::optional<X11Selection::PropertyValue> X11Selection::convert(xcb_atom_t target, std::chrono::milliseconds answerLimit, bool* answered)
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
        qCInfo(lcX11Selection) << "the clipboard's owner did not answer in time";
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
    qCDebug(lcX11Selection) << "the clipboard's owner sends its contents in parts";
    return receiveInParts(notify->property, answerLimit);
}

std::optional<QByteArray> X11Selection::othersContents(xcb_atom_t target, std::chrono::milliseconds answerLimit)
{
    const auto offered = offer(answerLimit);
    if (!offered || offered->ours || !offered->includes(target))
        return std::nullopt;
    auto value = convert(target, answerLimit);
    if (!value)
        return std::nullopt;
    return std::move(value->bytes);
}

bool X11Selection::own(const QString& text)
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

void X11Selection::readEvents()
{
    while (const Event event{xcb_poll_for_event(connection())})
        handle(event.get());
    // A connection that has ended stays readable: without this the event loop would spin.
    if (isBroken())
        m_notifier.setEnabled(false);
}

X11Selection::Atoms X11Selection::internAtoms(xcb_connection_t* connection)
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

X11Selection::X11Selection(Xcb::Connection opened, xcb_window_t root)
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

X11Selection::Event X11Selection::waitFor(const std::function<bool(const xcb_generic_event_t*)>& wanted, std::chrono::milliseconds limit)
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

std::optional<X11Selection::PropertyValue> X11Selection::takeProperty(xcb_atom_t property)
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

std::optional<X11Selection::PropertyValue> X11Selection::receiveInParts(xcb_atom_t property, std::chrono::milliseconds answerLimit)
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
            qCInfo(lcX11Selection) << "the clipboard's owner stopped sending after" << whole.bytes.size() << "bytes";
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
            qCInfo(lcX11Selection) << "the clipboard holds more than" << kMaxReceivedBytes << "bytes: not read";
            return std::nullopt;
        }
    }
}

xcb_timestamp_t X11Selection::serverTime()
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

void X11Selection::handle(const xcb_generic_event_t* event)
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

void X11Selection::answer(const xcb_selection_request_event_t& request)
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

bool X11Selection::offerTo(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target)
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
        xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, type, 8, uint32_t(bytes.size()), bytes.constData());
        return true;
    }
    qCDebug(lcX11Selection) << "handing" << bytes.size() << "bytes to a requestor in parts";
    // Too large for one property: announce the size, then hand out a part each time the
    // requestor deletes the last one, which we hear about through its window's events.
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection(), requestor, XCB_CW_EVENT_MASK, &events);
    const uint32_t size = uint32_t(bytes.size());
    xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, requestor, property, m_atoms.incr, 32, 1, &size);
    m_transfers.push_back({requestor, property, type, bytes, 0, QDeadlineTimer(kTransferPatience)});
    return true;
}

void X11Selection::continueTransfer(xcb_window_t requestor, xcb_atom_t property)
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
    const bool stillTaking =
        std::any_of(m_transfers.begin(), m_transfers.end(), [&](const OutgoingTransfer& other) { return other.requestor == requestor; });
    if (!stillTaking) {
        const uint32_t noEvents = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(connection(), requestor, XCB_CW_EVENT_MASK, &noEvents);
    }
}

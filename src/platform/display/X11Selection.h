#pragma once

#include "platform/display/Xcb.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QString>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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

    static std::unique_ptr<X11Selection> open(const QString& display);

    bool isBroken() const { return xcb_connection_has_error(m_connection.get()) != 0; }
    const Atoms& atoms() const { return m_atoms; }

    // Who offers what: nothing when the clipboard is empty or its owner did not answer in time.
    std::optional<Offer> offer(std::chrono::milliseconds answerLimit);

    // Asks the owner for the clipboard as `target`: nothing when it refused or did not answer
    // (`answered` tells which).
    std::optional<PropertyValue> convert(xcb_atom_t target, std::chrono::milliseconds answerLimit, bool* answered = nullptr);

    // The contents as `target` when another application offers them so (we offer only text).
    std::optional<QByteArray> othersContents(xcb_atom_t target, std::chrono::milliseconds answerLimit);

    std::optional<QString> ownedText() const { return m_ownedText; }

    bool own(const QString& text);

    // Answers whatever other clients asked while we were busy or idle.
    void readEvents();

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

    static Atoms internAtoms(xcb_connection_t* connection);

    X11Selection(Xcb::Connection opened, xcb_window_t root);

    xcb_connection_t* connection() const { return m_connection.get(); }

    // Reads events until one is `wanted`, handling the others, for at most `limit`.
    Event waitFor(const std::function<bool(const xcb_generic_event_t*)>& wanted, std::chrono::milliseconds limit);

    // The whole value of a property of our window, which is then deleted (for a transfer in
    // parts, the deletion is what asks for the next part).
    std::optional<PropertyValue> takeProperty(xcb_atom_t property);

    std::optional<PropertyValue> receiveInParts(xcb_atom_t property, std::chrono::milliseconds answerLimit);

    // The server's time now, which owning a selection needs: the stamp of a change to our window.
    xcb_timestamp_t serverTime();

    void handle(const xcb_generic_event_t* event);

    void answer(const xcb_selection_request_event_t& request);

    bool offerTo(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target);

    void continueTransfer(xcb_window_t requestor, xcb_atom_t property);

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

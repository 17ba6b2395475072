#include "platform/display/X11Selection.h"

#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QThread>

namespace {

// Another X client that asks for the clipboard the way applications do, on its own connection. The
// owner under test answers only when its events are read, so each wait pumps them.
class Requestor {
public:
    explicit Requestor(const XvfbServer& x)
        : m_connection(xcb_connect(x.display().toLocal8Bit().constData(), nullptr))
    {
        m_window = xcb_generate_id(connection());
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection(), XCB_COPY_FROM_PARENT, m_window, xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root, 0,
                          0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        m_clipboard = atom("CLIPBOARD");
        m_property = atom("REQUESTOR_PROPERTY");
    }

    bool isConnected() const { return !xcb_connection_has_error(m_connection.get()); }

    xcb_atom_t atom(const char* name)
    {
        const Xcb::Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection(), xcb_intern_atom(connection(), 0, uint16_t(strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // What the owner handed over as `target`: nothing when it refused (or never answered).
    std::optional<QByteArray> ask(X11Selection& owner, xcb_atom_t target, xcb_timestamp_t time = XCB_CURRENT_TIME)
    {
        xcb_convert_selection(connection(), m_window, m_clipboard, target, m_property, time);
        xcb_flush(connection());
        for (int attempt = 0; attempt < 500; ++attempt) {
            owner.readEvents();
            while (const Xcb::Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection())}) {
                if ((event->response_type & ~0x80) != XCB_SELECTION_NOTIFY)
                    continue;
                const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
                if (notify->property == XCB_ATOM_NONE)
                    return std::nullopt;
                const Xcb::Reply<xcb_get_property_reply_t> value(xcb_get_property_reply(
                    connection(), xcb_get_property(connection(), 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr));
                if (!value)
                    return std::nullopt;
                return QByteArray(static_cast<const char*>(xcb_get_property_value(value.get())),
                                  xcb_get_property_value_length(value.get()));
            }
            QThread::msleep(20);
        }
        ADD_FAILURE() << "the owner never answered";
        return std::nullopt;
    }

    void takeClipboard()
    {
        xcb_set_selection_owner(connection(), m_window, m_clipboard, XCB_CURRENT_TIME);
        const Xcb::Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(connection(), xcb_get_selection_owner(connection(), m_clipboard), nullptr));
        EXPECT_TRUE(owner && owner->owner == m_window);
    }

private:
    xcb_connection_t* connection() const { return m_connection.get(); }

    Xcb::Connection m_connection;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_property = XCB_ATOM_NONE;
};

} // namespace

TEST(X11Selection, HandsOutOnlyTheTextItOwnsAndOnlyWhileItOwnsIt)
{
    const XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    EXPECT_EQ(X11Selection::open(QString()), nullptr);
    const auto owner = X11Selection::open(x.display());
    ASSERT_NE(owner, nullptr);
    Requestor other(x);
    ASSERT_TRUE(other.isConnected());
    const xcb_atom_t utf8 = other.atom("UTF8_STRING");

    ASSERT_TRUE(owner->own(QStringLiteral("Grüße")));
    EXPECT_EQ(other.ask(*owner, utf8), QStringLiteral("Grüße").toUtf8());
    EXPECT_EQ(other.ask(*owner, other.atom("image/png")), std::nullopt) << "a type it does not have";
    // A request stamped before the copy asks for what was on the clipboard then, which we never had.
    EXPECT_EQ(other.ask(*owner, utf8, 1), std::nullopt);
    EXPECT_EQ(other.ask(*owner, utf8), QStringLiteral("Grüße").toUtf8()) << "still offered after refusals";

    other.takeClipboard();
    for (int attempt = 0; attempt < 500 && owner->ownedText(); ++attempt) {
        QThread::msleep(20);
        owner->readEvents();
    }
    EXPECT_EQ(owner->ownedText(), std::nullopt) << "the text stays offered after another application copied";
    EXPECT_FALSE(owner->offer(std::chrono::milliseconds(200)).value_or(X11Selection::Offer{}).ours);
}

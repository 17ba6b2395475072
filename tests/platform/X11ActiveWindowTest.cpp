#include "platform/X11ActiveWindow.h"

#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// A private X server; the test plays the window manager by setting the root's properties.
class X11ActiveWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.isRunning());
        m_connection = xcb_connect(m_server.display().toLatin1().constData(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(m_connection), 0);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    void TearDown() override { xcb_disconnect(m_connection); }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply->atom;
        std::free(reply);
        return result;
    }
    xcb_window_t createWindow()
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        return window;
    }
    void setCardinal(xcb_window_t window, const char* property, xcb_atom_t type, uint32_t value)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(property), type, 32, 1, &value);
        roundTrip();
    }
    void roundTrip() { std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

    XvfbServer m_server{64, 64};
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
};

TEST_F(X11ActiveWindowTest, IsTheProcessNamedByTheFocusedWindow)
{
    const X11ActiveWindow activeWindow(m_server.display());
    EXPECT_EQ(activeWindow.owningProcess(), std::nullopt) << "no window manager has named a window yet";

    const xcb_window_t owned = createWindow();
    setCardinal(owned, "_NET_WM_PID", XCB_ATOM_CARDINAL, 4242);
    setCardinal(m_root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, owned);
    EXPECT_EQ(activeWindow.owningProcess(), std::optional<qint64>(4242));

    const xcb_window_t anonymous = createWindow();
    setCardinal(m_root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, anonymous);
    EXPECT_EQ(activeWindow.owningProcess(), std::nullopt);
}

TEST(X11ActiveWindow, IsNothingWithoutADisplay)
{
    EXPECT_EQ(X11ActiveWindow(QString()).owningProcess(), std::nullopt);
    EXPECT_EQ(X11ActiveWindow(QStringLiteral(":4711")).owningProcess(), std::nullopt);
}

} // namespace

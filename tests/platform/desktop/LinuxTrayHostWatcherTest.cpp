#include "platform/desktop/LinuxTrayHostWatcher.h"

#include "platform/display/Xcb.h"

#include "support/PrivateSessionBus.h"
#include "support/TrayHostProcess.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QThread>

#include <QProcessEnvironment>
#include <QSignalSpy>

TEST(LinuxTrayHostWatcher, SeesAStatusNotifierHostThatComesAfterIt)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    LinuxTrayHostWatcher watcher(bus.connect(QStringLiteral("tray-watcher")), QString());
    EXPECT_FALSE(watcher.isPresent());
    QSignalSpy appeared(&watcher, &TrayHostWatcher::appeared);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    const TrayHostProcess host(environment);
    ASSERT_TRUE(appeared.wait(10000));
    EXPECT_TRUE(watcher.isPresent());

    // One made while the host is there sees it at once.
    const LinuxTrayHostWatcher later(bus.connect(QStringLiteral("later-tray-watcher")), QString());
    EXPECT_TRUE(later.isPresent());
    EXPECT_EQ(appeared.size(), 1);
}

TEST(LinuxTrayHostWatcher, SeesAnX11SystemTray)
{
    PrivateSessionBus bus;
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning());
    EXPECT_FALSE(LinuxTrayHostWatcher(bus.connect(QStringLiteral("before-tray")), xvfb.display()).isPresent());

    // A tray manager owns the screen's _NET_SYSTEM_TRAY_S0 selection. The server resets when its
    // last client (the watcher above) leaves, and refuses connections for that moment.
    int screenNumber = 0;
    Xcb::Connection tray(xcb_connect(xvfb.display().toLocal8Bit().constData(), &screenNumber));
    for (int attempt = 0; attempt < 100 && xcb_connection_has_error(tray.get()); ++attempt) {
        QThread::msleep(20);
        tray = Xcb::Connection(xcb_connect(xvfb.display().toLocal8Bit().constData(), &screenNumber));
    }
    ASSERT_FALSE(xcb_connection_has_error(tray.get()));
    const xcb_window_t window = xcb_generate_id(tray.get());
    xcb_create_window(tray.get(), XCB_COPY_FROM_PARENT, window, xcb_setup_roots_iterator(xcb_get_setup(tray.get())).data->root, 0, 0, 1, 1,
                      0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const char* name = "_NET_SYSTEM_TRAY_S0";
    const Xcb::Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(tray.get(), xcb_intern_atom(tray.get(), 0, uint16_t(strlen(name)), name), nullptr));
    ASSERT_TRUE(atom);
    xcb_set_selection_owner(tray.get(), window, atom->atom, XCB_CURRENT_TIME);
    // A round trip: the server has taken the request when its answer comes.
    const Xcb::Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(tray.get(), xcb_get_selection_owner(tray.get(), atom->atom), nullptr));
    ASSERT_TRUE(owner && owner->owner == window);

    EXPECT_TRUE(LinuxTrayHostWatcher(bus.connect(QStringLiteral("with-tray")), xvfb.display()).isPresent());
}

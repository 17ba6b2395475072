// The desktop library's one entry: what the core program asks of Qt Gui, Qt Widgets and the
// display libraries, created here so that a client's process maps none of them.
#include "app/DesktopInstance.h"
#include "app/DesktopShell.h"
#include "control/ActivityNotifications.h"
#include "control/ControlServer.h"
#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "control/WaitingClientNotices.h"
#include "platform/DesktopLibrary.h"
#include "platform/desktop/LinuxTrayHostWatcher.h"
#include "platform/display/DesktopScreenGrabber.h"
#include "platform/display/DisplayConnection.h"
#include "platform/display/QtClipboard.h"
#include "platform/display/WaylandCommandClipboard.h"
#include "platform/display/X11ActiveWindow.h"
#include "platform/display/XcbClipboard.h"
#include "platform/display/XcbScreenGrabber.h"
#include "platform/processes/Clock.h"
#include "state/DesktopNotifier.h"
#include "ui/DesktopConfirmations.h"
#include "ui/MainWindow.h"

#include <QApplication>

#include <xcb/xcb.h>

#include <chrono>
#include <thread>

namespace {

// Sets an environment variable for the application object's creation only: the programs we
// start must not inherit our choice.
class TemporaryVariable {
public:
    TemporaryVariable(const char* name, const QByteArray& value, bool wanted)
        : m_name(name)
        , m_set(wanted && !qEnvironmentVariableIsSet(name))
    {
        if (m_set)
            qputenv(name, value);
    }
    ~TemporaryVariable()
    {
        if (m_set)
            qunsetenv(m_name);
    }
    TemporaryVariable(const TemporaryVariable&) = delete;
    TemporaryVariable& operator=(const TemporaryVariable&) = delete;

private:
    const char* m_name;
    bool m_set;
};

// A connection to the X display in the environment, held while the GUI application makes its
// own: a bare X server (no window manager) resets when its last client leaves, and refuses
// connections while it does. Null when the display cannot be opened.
std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> holdX11Display(const QByteArray& display)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(display.constData(), nullptr), xcb_disconnect);
        if (xcb_connection_has_error(connection.get()) == 0)
            return connection;
    }
    return {nullptr, xcb_disconnect};
}

QCoreApplication* createGuiApplication(int& argc, char** argv, bool displayOptional)
{
    // On a Wayland session without XWayland, Qt must be told to use its Wayland platform; with
    // both displays, Qt's own choice (X11) stands. Qt tries the platforms of a list in turn, and
    // its minimal one needs no display.
    const bool waylandOnly = qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const QByteArray platform = waylandOnly ? "wayland" : "xcb";
    // The program chose its role from the display's socket alone; the full check is made here.
    const auto held = waylandOnly ? std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>(nullptr, xcb_disconnect)
                                  : holdX11Display(qgetenv("DISPLAY"));
    if (!waylandOnly && !held && !displayOptional)
        return nullptr;
    TemporaryVariable chosen("QT_QPA_PLATFORM", displayOptional ? platform + ";minimal" : platform, waylandOnly || displayOptional);
    auto* gui = new QApplication(argc, argv);
    // Closing the window hides it; only Quit ends the program.
    gui->setQuitOnLastWindowClosed(false);
    // The installed desktop entry's name: a Wayland compositor finds the window's icon and
    // groups it by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarvonic.zarnel"));
    return gui;
}

const char* connectedDisplayName()
{
    switch (DisplayConnection::connectedDisplay()) {
    case DisplayConnection::DisplayServer::X11: return "X11";
    case DisplayConnection::DisplayServer::Wayland: return "Wayland";
    case DisplayConnection::DisplayServer::None: break;
    }
    return nullptr;
}

// Whether this process reaches the display through a GUI application of its own (the desktop
// instance, a sub-command), rather than doing a client's display work without one.
bool hasGuiApplication()
{
    return QCoreApplication::instance() != nullptr && QCoreApplication::instance()->inherits("QGuiApplication");
}

bool hasX11Display()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

Clipboard* createClipboard()
{
    if (hasGuiApplication()) {
        // A native Wayland client reaches the clipboard only while it has focus; the commands
        // do not need that. On X11 (XWayland included) Qt's own clipboard serves.
        if (DisplayConnection::connectedDisplay() == DisplayConnection::DisplayServer::Wayland)
            return new WaylandCommandClipboard();
        return new QtClipboard();
    }
    if (hasX11Display())
        return new XcbClipboard();
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return new WaylandCommandClipboard();
    return new QtClipboard(); // which says there is no display
}

ScreenGrabber* createScreenGrabber()
{
    if (!hasGuiApplication() && hasX11Display())
        return new XcbScreenGrabber();
    return new DesktopScreenGrabber();
}

ActiveWindow* createActiveWindow()
{
    return new X11ActiveWindow(X11ActiveWindow::fromEnvironment());
}

class LinuxDesktopShell : public DesktopShell {
public:
    explicit LinuxDesktopShell(const DesktopShellSetup& setup)
        : m_instances(setup.folder)
        , m_notifier(setup.components.settings(), *setup.components.services().notifications, setup.clock)
        , m_notified(m_notifier, setup.clock.now())
        , m_waitingNotices(setup.components.settings(), *setup.components.services().notifications,
                           [this] { m_instances.setAllRunning(true); })
        , m_desktop(setup.components, m_instances, std::make_unique<LinuxTrayHostWatcher>())
    {
        m_confirmations.registerWith(setup.control);
        m_instances.setLocalSettings(&setup.components.settings());
        m_notified.follow(setup.components.activityLog());
        m_notified.follow(m_instances);
        m_waitingNotices.follow(m_instances);
        QObject::connect(&setup.control, &ControlServer::showDashboardRequested, &m_desktop.window(), &MainWindow::showDashboard);
        QObject::connect(&m_desktop, &DesktopInstance::quitRequested, &m_desktop, setup.quit);
    }

    void start(bool hidden) override { m_desktop.start(hidden); }

private:
    DesktopConfirmations m_confirmations;
    RunningInstances m_instances;
    // Only the desktop instance tells the user about connections and failures, of every
    // process of the user.
    DesktopNotifier m_notifier;
    ActivityNotifications m_notified;
    // One notification per client waiting for a start, whose button starts Zarnel.
    WaitingClientNotices m_waitingNotices;
    DesktopInstance m_desktop;
};

DesktopShell* createDesktopShell(const DesktopShellSetup& setup)
{
    return new LinuxDesktopShell(setup);
}

constexpr DesktopLibraryFunctions kFunctions{
    .version = kDesktopLibraryVersion,
    .createGuiApplication = createGuiApplication,
    .connectedDisplayName = connectedDisplayName,
    .createClipboard = createClipboard,
    .createScreenGrabber = createScreenGrabber,
    .createActiveWindow = createActiveWindow,
    .createDesktopShell = createDesktopShell,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* zarnel_desktop_library()
{
    return &kFunctions;
}

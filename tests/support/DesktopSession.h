#pragma once

#include "support/PrivateSessionBus.h"
#include "support/TemporaryHome.h"
#include "support/TrayHostProcess.h"
#include "support/XvfbServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class ZarnelProcess;

// One item of a menu exported over D-Bus, as a tray host reads it.
struct ExportedMenuItem {
    int id = 0;
    QString label; // mnemonics shown as the host shows them ("_" where Qt had "&")
    bool enabled = true;
    bool separator = false;
};

// A desktop session of the test's own: an X server, a D-Bus session bus, optionally a tray host,
// and a HOME. Programs started through it see that display and bus. When it ends it ends every
// zarnel that left a control socket or the desktop lock in its runtime folder.
class DesktopSession {
public:
    explicit DesktopSession(bool withTrayHost = true);
    ~DesktopSession();

    // Starts the tray host of a session made without one: the panel coming up after the programs.
    void startTrayHost();

    const TemporaryHome& home() const { return m_home; }
    QProcessEnvironment environment() const { return m_environment; }
    QString controlFolder() const;

    // A launch the way a user makes one: standard input is the null device.
    std::unique_ptr<QProcess> launchAsUser(const QStringList& arguments = {}) const;
    // A client's zarnel: piped standard input, in the session's display and bus.
    std::unique_ptr<ZarnelProcess> launchAsClient(bool autoStart = true) const;

    // The process holding the desktop lock, if a live one does.
    std::optional<qint64> desktopInstancePid() const;
    // The processes with a control socket.
    QList<qint64> runningProcesses() const;

    // The messages of a process's activity log, newest first, read through its control socket.
    QStringList activityLogOf(qint64 pid) const;

    // How many windows titled "Zarnel" are mapped on the display.
    int mappedZarnelWindows() const;
    // The instance and class names (WM_CLASS) of the first of them; empty when none is mapped.
    QStringList zarnelWindowClass() const;

    // The tray items registered with the tray host ("<bus name>/<path>").
    QStringList trayItems() const;
    // The menu of the first tray item, top to bottom.
    QList<ExportedMenuItem> trayMenu() const;
    // The tooltip title of the first tray item.
    QString trayToolTip() const;
    // Clicks a menu item, as a tray host does; false when no item has the label.
    bool clickTrayMenuItem(const QString& label) const;

    // The test's own connection to the session bus, to offer services the programs use.
    QDBusConnection bus() const { return testBus(); }

    // Waits until the condition holds, running the event loop meanwhile; false on time-out.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 15000);

private:
    QStringList mappedZarnelWindowIds() const;
    QString firstTrayItem() const;
    QDBusConnection testBus() const;
    QVariant trayItemProperty(const QString& name) const;
    QDBusMessage callTrayMenu(const QString& method, const QVariantList& arguments) const;

    TemporaryHome m_home;
    XvfbServer m_xvfb;
    PrivateSessionBus m_bus;
    // The test's own connection; the bus ends it.
    QDBusConnection m_testBus;
    QProcessEnvironment m_environment;
    std::unique_ptr<TrayHostProcess> m_trayHost;
};

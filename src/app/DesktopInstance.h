#pragma once

#include "platform/desktop/DesktopCapabilities.h"
#include "platform/desktop/TrayHostWatcher.h"
#include "ui/tray/TrayMenuModel.h"

#include <QCoroTask>
#include <QObject>

#include <memory>

class Dashboard;
class MainWindow;
class PreferencesStore;
class RunningInstances;
class ServerComponents;
class TrayIcon;

// The user's one desktop Zarnel: the tray item and the dashboard window over every running
// process, and the first-launch look at what the desktop offers the tools.
class DesktopInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kInitialCheckKey = "hasRequestedInitialPermissions";

    // `trayHost` tells whether the desktop has a tray, and when one comes later.
    DesktopInstance(ServerComponents& components, RunningInstances& instances, std::unique_ptr<TrayHostWatcher> trayHost,
                    QObject* parent = nullptr);
    ~DesktopInstance() override;

    // Puts the item in the tray and shows the window, unless `hidden` and a tray holds the item
    // (without a tray the window is the only way in). Then looks at the desktop's capabilities.
    // Without a tray now, the item goes in the tray that comes later (a panel started after us).
    void start(bool hidden);

    MainWindow& window() { return *m_window; }
    TrayIcon& tray() { return *m_tray; }
    DesktopCapabilities& capabilities() { return m_capabilities; }

    // What the tray shows now: every process's figures, and the shared statistics.
    TrayFigures readFigures();

public Q_SLOTS:
    void perform(TrayAction action);

Q_SIGNALS:
    // "Quit" was chosen; the owner does the exit bookkeeping and ends the event loop.
    void quitRequested();

private:
    QCoro::Task<> toggleServer();
    QCoro::Task<> checkCapabilities();
    void trayHostAppeared();

    ServerComponents& m_components;
    RunningInstances& m_instances;
    // The pages the window holds read the dashboard's models: the window goes first.
    std::unique_ptr<Dashboard> m_dashboard;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<TrayHostWatcher> m_trayHost;
    DesktopCapabilities m_capabilities;
    bool m_toggling = false;
};

#pragma once

#include "ui/tray/TrayMenuModel.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class QSystemTrayIcon;
class TrayMenu;

// The program's item in the panel's tray: the server picture, its tooltip and the menu, kept
// current every two seconds from the figures the owner supplies.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshIntervalMs = 2000;

    explicit TrayIcon(std::function<TrayFigures()> readFigures, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a tray to show the item in.
    static bool hostAvailable();

    // Puts the item in the tray and starts the refresh; a second call does nothing.
    void show();
    bool isShown() const { return m_tray != nullptr; }

    // Reads the figures now and brings the menu and the picture up to date.
    void refresh();

    const TrayMenuModel& model() const { return m_model; }
    // Null until shown.
    TrayMenu* menu() const { return m_menu; }
    QSystemTrayIcon* systemTrayIcon() const { return m_tray; }
    TrayAppearance appearance() const { return trayAppearance(m_shownState); }

Q_SIGNALS:
    void actionChosen(TrayAction action);

private:
    void applyAppearance(std::optional<bool> running);

    std::function<TrayFigures()> m_readFigures;
    TrayMenuModel m_model;
    TrayMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QTimer m_refreshTimer;
    std::optional<bool> m_shownState;
};

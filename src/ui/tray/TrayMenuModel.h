#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// What the tray shows of Zarnel as a whole, read at one moment.
struct TrayFigures {
    bool running = false;       // any process's server runs
    qint64 connections = 0;     // summed over processes
    qint64 totalRequests = 0;   // from the shared statistics
    QStringList recentMessages; // activity-log messages of every process, newest first
    QStringList waitingClients; // the names of the clients waiting for a start ("" for an unnamed one)
};

enum class TrayAction { None, ToggleServer, ShowDashboard, ShowStatistics, ShowActivityLog, ShowSettings, Quit };

struct TrayMenuItem {
    bool separator = false;
    QString text;
    bool enabled = false; // disabled items are information only
    TrayAction action = TrayAction::None;
    QString toolTip; // the whole text where `text` shows only part of it; empty otherwise

    bool operator==(const TrayMenuItem&) const = default;
};

// Icon, accessible name and tooltip of the tray item for a server state (none: not yet known).
struct TrayAppearance {
    bool running = false;
    QString accessibleName;
    QString toolTip; // empty: no tooltip
};
TrayAppearance trayAppearance(std::optional<bool> running);

// The tray menu as plain items, rebuilt from figures; the widget side only mirrors it, so tests
// read the menu without a tray host.
class TrayMenuModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kRecentEntries = 5;
    // A Recent Activity entry longer than this is shortened in the middle.
    static constexpr qsizetype kMaxEntryLength = 60;

    explicit TrayMenuModel(QObject* parent = nullptr);

    static QList<TrayMenuItem> itemsFor(const TrayFigures& figures);

    const QList<TrayMenuItem>& items() const { return m_items; }
    const TrayFigures& figures() const { return m_figures; }
    // Replaces the figures; announces itemsChanged only when an item changed.
    void setFigures(const TrayFigures& figures);

Q_SIGNALS:
    void itemsChanged();

private:
    TrayFigures m_figures;
    QList<TrayMenuItem> m_items;
};

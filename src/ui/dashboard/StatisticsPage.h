#pragma once

#include "state/ServerStatistics.h"

#include <QWidget>

#include <memory>
#include <optional>

class Clipboard;
class Clock;
class ConnectionHistoryModel;
class EmptyState;
class ExportSheet;
class QAbstractItemModel;
class QStackedWidget;
class RecentCallsModel;
class StatisticsManager;
class StatusCard;
class ToolUsageModel;

// Usage figures of Zarnel as a whole: the totals, the uptime, the most used tools and the
// connections from the statistics every process adds to the shared store; the session counters
// and the recent calls from the sessions of every running process (setSession), this process's
// own until they are known. With Reset and the export sheet.
class StatisticsPage : public QWidget {
    Q_OBJECT
public:
    StatisticsPage(StatisticsManager& statistics, std::shared_ptr<Clipboard> clipboard, const Clock& clock, QWidget* parent = nullptr);

    ToolUsageModel& toolUsage() const { return *m_toolUsage; }
    RecentCallsModel& recentCalls() const { return *m_recentCalls; }
    ConnectionHistoryModel& connections() const { return *m_connections; }
    StatusCard* card(const QString& title) const;
    // The empty-state title of a list ("No tools used yet", ...); empty while it has rows.
    QString emptyTitle(const QAbstractItemModel& list) const;

public Q_SLOTS:
    void refresh();
    // The sessions of every running process as one; nothing goes back to this process's own.
    void setSession(const std::optional<SessionFigures>& session);
    // Asks first; true when the user confirmed, and resetRequested was emitted.
    bool requestReset();
    ExportSheet* showExport();

Q_SIGNALS:
    // The user confirmed "Reset": the statistics of every process are to be reset.
    void resetRequested();

private:
    struct List {
        QAbstractItemModel* model;
        QStackedWidget* stack;
        EmptyState* empty;
    };
    QWidget* addList(const QString& heading, QAbstractItemModel* model, QWidget* view, EmptyState* empty);

    StatisticsManager& m_statistics;
    std::shared_ptr<Clipboard> m_clipboard;
    const Clock& m_clock;
    ToolUsageModel* m_toolUsage;
    RecentCallsModel* m_recentCalls;
    ConnectionHistoryModel* m_connections;
    QList<StatusCard*> m_cards;
    StatusCard* m_uptime;
    StatusCard* m_sessionStarted;
    QList<List> m_lists;
    std::optional<SessionFigures> m_session;
};

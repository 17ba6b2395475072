#pragma once

#include <QWidget>

class ActivityLogModel;
class EmptyState;
class QAbstractItemModel;
class QLabel;
class QPushButton;
class QStackedWidget;
class StatusCard;
class ActivityTable;

// The first page: whether Zarnel serves (any of its processes), the start/stop control, the
// connection and request figures, and the newest entries of the activity log.
class StatusPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRecentEntries = 10;

    // `recent` holds the newest entries of the log (at most kRecentEntries).
    explicit StatusPage(ActivityLogModel& recent, QWidget* parent = nullptr);

    bool isRunning() const { return m_running; }

public Q_SLOTS:
    void setRunning(bool running);
    void setConnections(qint64 connections);
    void setTotalRequests(qint64 requests);
    // How many folders the assistant is confined to (0: none, it is not confined).
    void setAllowedFolderCount(qsizetype folders);
    // The names of the clients whose requests wait for a start ("" for one that gave none);
    // shown, with a Start button, only while there are any.
    void setWaitingClients(const QStringList& names);

Q_SIGNALS:
    // The user pressed the start/stop control: true to start, false to stop.
    void runningRequested(bool running);

private:
    void updateActivity();

    ActivityLogModel& m_recent;
    bool m_running = false;
    QPushButton* m_startStop;
    QLabel* m_confinement;
    QWidget* m_waiting;
    QLabel* m_waitingText;
    StatusCard* m_status;
    StatusCard* m_connections;
    StatusCard* m_requests;
    QStackedWidget* m_activity;
    ActivityTable* m_table;
    EmptyState* m_empty;
};

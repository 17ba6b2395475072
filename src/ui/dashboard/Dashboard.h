#pragma once

#include "ui/DashboardPage.h"
#include "ui/dashboard/SettingsPage.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class ActivityLogModel;
class ActivityLogPage;
class Clipboard;
class QTimer;
class RunningInstances;
class ServerComponents;
class StatisticsPage;
class StatusPage;
struct InstanceLogEntry;

// The dashboard's pages over Zarnel as a whole: the figures and the log of every running
// process (through RunningInstances), the statistics every process adds to the shared store,
// and this process's catalogues and settings. The user's commands go to every process.
class Dashboard : public QObject {
    Q_OBJECT
public:
    // How often the statistics are read again from the store that every process saves to.
    static constexpr int kStatisticsFollowMs = 1000;

    Dashboard(ServerComponents& components, RunningInstances& instances, std::shared_ptr<Clipboard> clipboard,
              SettingsPage::CapabilityProbe capabilities, QObject* parent = nullptr);
    ~Dashboard() override;

    // One page, showing the current figures from the start; the caller (the window) takes
    // ownership. Each page is created at most once.
    QWidget* createPage(DashboardPage which);
    // The seven pages in sidebar order: Status, Statistics, Activity Log, Functions, Settings,
    // Getting Started, Examples.
    QList<QWidget*> createPages();

    ActivityLogModel& log() const { return *m_log; }
    ActivityLogModel& recentLog() const { return *m_recent; }

Q_SIGNALS:
    // "Refresh Status" was pressed on the Settings page: the desktop is to be looked at again.
    void capabilitiesRefreshRequested();

public Q_SLOTS:
    // The desktop's capabilities changed: the Settings page shows them again.
    void showCapabilities();
    // Whether anyone sees the figures: while the window is hidden the store is not read every
    // second (a hidden dashboard would otherwise reparse it all day); shown again, it is read at
    // once. On from the start, for a dashboard without a window.
    void followStatistics(bool shown);

private:
    void showInstances();
    void showSessions();
    void reloadLog();
    void addEntry(const InstanceLogEntry& entry);
    QCoro::Task<> setAllRunning(bool running);
    QCoro::Task<> clearAllLogs();
    QCoro::Task<> resetAllStatistics();
    QCoro::Task<> writeSetting(QString key, QVariant value);

    ServerComponents& m_components;
    RunningInstances& m_instances;
    std::shared_ptr<Clipboard> m_clipboard;
    SettingsPage::CapabilityProbe m_capabilities;
    QPointer<SettingsPage> m_settingsPage;
    ActivityLogModel* m_log;
    ActivityLogModel* m_recent;
    QTimer* m_statisticsFollow;
    QPointer<StatusPage> m_status;
    QPointer<StatisticsPage> m_statistics;
    int m_knownProcesses = -1;
};

#pragma once

#include "control/RunningInstances.h"

#include <QObject>
#include <QSet>

#include <functional>

class NotificationService;
class SettingsManager;

// Tells the person, with one desktop notification per client, that a client waits for Zarnel
// to start: "<client> is waiting for Zarnel", with a Start button. A client is told of once
// while it waits (again if it waits again after a start), and only while notifications are on.
class WaitingClientNotices : public QObject {
    Q_OBJECT
public:
    // `start` starts Zarnel, as the tray's Start does.
    WaitingClientNotices(SettingsManager& settings, NotificationService& service, std::function<void()> start, QObject* parent = nullptr);

    void follow(RunningInstances& instances);
    // The processes whose client waits now.
    void show(const QList<InstanceInfo>& waiting);

    static QString title(const QString& clientName);

private:
    SettingsManager& m_settings;
    NotificationService& m_service;
    std::function<void()> m_start;
    QSet<qint64> m_told; // the processes told of, while they wait
};

#pragma once

#include "state/LogLevel.h"

#include <QObject>
#include <QStringList>

class PreferencesStore;

// The user's settings, loaded from the preferences store at construction and written
// back on every assignment (also when the value did not change).
class SettingsManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool autoStartServer READ autoStartServer WRITE setAutoStartServer NOTIFY autoStartServerChanged)
    Q_PROPERTY(bool showNotifications READ showNotifications WRITE setShowNotifications NOTIFY showNotificationsChanged)
    Q_PROPERTY(QString logLevel READ logLevelRawValue NOTIFY logLevelChanged)
    Q_PROPERTY(qint64 maxLogEntries READ maxLogEntries WRITE setMaxLogEntries NOTIFY maxLogEntriesChanged)
    Q_PROPERTY(bool enableToolLogging READ enableToolLogging WRITE setEnableToolLogging NOTIFY enableToolLoggingChanged)
    Q_PROPERTY(bool requireConfirmation READ requireConfirmation WRITE setRequireConfirmation NOTIFY requireConfirmationChanged)
    Q_PROPERTY(qint64 commandTimeout READ commandTimeout WRITE setCommandTimeout NOTIFY commandTimeoutChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(qint64 historyDays READ historyDays WRITE setHistoryDays NOTIFY historyDaysChanged)
    // Where the assistant may work; empty lists confine nothing.
    Q_PROPERTY(QStringList allowedFolders READ allowedFolders WRITE setAllowedFolders NOTIFY foldersChanged)
    Q_PROPERTY(QStringList readOnlyFolders READ readOnlyFolders WRITE setReadOnlyFolders NOTIFY foldersChanged)
    Q_PROPERTY(bool commandNetwork READ commandNetwork WRITE setCommandNetwork NOTIFY foldersChanged)

public:
    static constexpr qint64 kDefaultMaxLogEntries = 1000;
    static constexpr qint64 kDefaultCommandTimeout = 30;
    static constexpr qint64 kDefaultHistoryDays = 30;

    explicit SettingsManager(PreferencesStore& store, QObject* parent = nullptr);

    bool autoStartServer() const { return m_autoStartServer; }
    bool showNotifications() const { return m_showNotifications; }
    LogLevel logLevel() const { return m_logLevel; }
    QString logLevelRawValue() const { return LogLevels::rawValue(m_logLevel); }
    qint64 maxLogEntries() const { return m_maxLogEntries; }
    bool enableToolLogging() const { return m_enableToolLogging; }
    bool requireConfirmation() const { return m_requireConfirmation; }
    qint64 commandTimeout() const { return m_commandTimeout; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    // How many days the history of tool calls keeps; 0 records nothing (and removes nothing).
    qint64 historyDays() const { return m_historyDays; }
    QStringList allowedFolders() const { return m_allowedFolders; }
    QStringList readOnlyFolders() const { return m_readOnlyFolders; }
    bool commandNetwork() const { return m_commandNetwork; }

    void setAutoStartServer(bool value);
    void setShowNotifications(bool value);
    void setLogLevel(LogLevel value);
    void setMaxLogEntries(qint64 value);
    void setEnableToolLogging(bool value);
    void setRequireConfirmation(bool value);
    void setCommandTimeout(qint64 value);
    void setLaunchAtLogin(bool value);
    void setHistoryDays(qint64 value);
    void setAllowedFolders(const QStringList& folders);
    void setReadOnlyFolders(const QStringList& folders);
    void setCommandNetwork(bool value);
    // Reads the folder settings again from the store: they are taken from the file a person
    // changes, never from a message another process sends.
    void reloadFolders();

    // Registers the default of every setting with the store (in memory only).
    void registerDefaults();

Q_SIGNALS:
    void autoStartServerChanged();
    void showNotificationsChanged();
    void logLevelChanged();
    void maxLogEntriesChanged();
    void enableToolLoggingChanged();
    void requireConfirmationChanged();
    void commandTimeoutChanged();
    void launchAtLoginChanged();
    void historyDaysChanged();
    void foldersChanged();
    // Any of the above; for observers that show all settings at once.
    void settingsChanged();

private:
    void announce(void (SettingsManager::*changed)());

    PreferencesStore& m_store;
    bool m_autoStartServer = false;
    bool m_showNotifications = true;
    LogLevel m_logLevel = LogLevel::Info;
    qint64 m_maxLogEntries = kDefaultMaxLogEntries;
    bool m_enableToolLogging = true;
    bool m_requireConfirmation = false;
    qint64 m_commandTimeout = kDefaultCommandTimeout;
    bool m_launchAtLogin = false;
    qint64 m_historyDays = kDefaultHistoryDays;
    QStringList m_allowedFolders;
    QStringList m_readOnlyFolders;
    bool m_commandNetwork = true;
};

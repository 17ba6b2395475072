#include "state/SettingsManager.h"

#include "platform/store/PreferencesStore.h"

namespace {

const QString kAutoStartServer = QStringLiteral("autoStartServer");
const QString kShowNotifications = QStringLiteral("showNotifications");
const QString kLogLevel = QStringLiteral("logLevel");
const QString kMaxLogEntries = QStringLiteral("maxLogEntries");
const QString kEnableToolLogging = QStringLiteral("enableToolLogging");
const QString kRequireConfirmation = QStringLiteral("requireConfirmation");
const QString kCommandTimeout = QStringLiteral("commandTimeout");
const QString kLaunchAtLogin = QStringLiteral("launchAtLogin");
const QString kHistoryDays = QStringLiteral("historyDays");
const QString kAllowedFolders = QStringLiteral("allowedFolders");
const QString kReadOnlyFolders = QStringLiteral("readOnlyFolders");
const QString kCommandNetwork = QStringLiteral("commandNetwork");

// A list of folders is stored as one value, a folder a line: a folder's name may hold any other
// separator.
QStringList readFolders(const PreferencesStore& store, const QString& key)
{
    return store.readString(key).value_or(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

SettingsManager::SettingsManager(PreferencesStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    // Loading assigns without writing back; a stored value of the wrong kind counts as absent.
    m_autoStartServer = m_store.readBool(kAutoStartServer).value_or(false);
    m_showNotifications = m_store.readBool(kShowNotifications).value_or(true);
    m_logLevel = LogLevels::fromRawValue(m_store.readString(kLogLevel).value_or(QStringLiteral("info"))).value_or(LogLevel::Info);
    m_maxLogEntries = m_store.readInteger(kMaxLogEntries).value_or(kDefaultMaxLogEntries);
    m_enableToolLogging = m_store.readBool(kEnableToolLogging).value_or(true);
    m_requireConfirmation = m_store.readBool(kRequireConfirmation).value_or(false);
    m_commandTimeout = m_store.readInteger(kCommandTimeout).value_or(kDefaultCommandTimeout);
    m_launchAtLogin = m_store.readBool(kLaunchAtLogin).value_or(false);
    m_historyDays = std::max<qint64>(0, m_store.readInteger(kHistoryDays).value_or(kDefaultHistoryDays));
    m_allowedFolders = readFolders(m_store, kAllowedFolders);
    m_readOnlyFolders = readFolders(m_store, kReadOnlyFolders);
    m_commandNetwork = m_store.readBool(kCommandNetwork).value_or(true);
    registerDefaults();
}

void SettingsManager::registerDefaults()
{
    m_store.registerDefaults({
        {kAutoStartServer, false},
        {kShowNotifications, true},
        {kLogLevel, QStringLiteral("info")},
        {kMaxLogEntries, kDefaultMaxLogEntries},
        {kEnableToolLogging, true},
        {kRequireConfirmation, false},
        {kCommandTimeout, kDefaultCommandTimeout},
        {kLaunchAtLogin, false},
        {kHistoryDays, kDefaultHistoryDays},
        {kAllowedFolders, QString()},
        {kReadOnlyFolders, QString()},
        {kCommandNetwork, true},
    });
}

void SettingsManager::announce(void (SettingsManager::*changed)())
{
    Q_EMIT(this->*changed)();
    Q_EMIT settingsChanged();
}

void SettingsManager::setAutoStartServer(bool value)
{
    m_store.writeBool(kAutoStartServer, m_autoStartServer = value);
    announce(&SettingsManager::autoStartServerChanged);
}

void SettingsManager::setShowNotifications(bool value)
{
    m_store.writeBool(kShowNotifications, m_showNotifications = value);
    announce(&SettingsManager::showNotificationsChanged);
}

void SettingsManager::setLogLevel(LogLevel value)
{
    m_logLevel = value;
    m_store.writeString(kLogLevel, LogLevels::rawValue(value));
    announce(&SettingsManager::logLevelChanged);
}

void SettingsManager::setMaxLogEntries(qint64 value)
{
    m_store.writeInteger(kMaxLogEntries, m_maxLogEntries = value);
    announce(&SettingsManager::maxLogEntriesChanged);
}

void SettingsManager::setEnableToolLogging(bool value)
{
    m_store.writeBool(kEnableToolLogging, m_enableToolLogging = value);
    announce(&SettingsManager::enableToolLoggingChanged);
}

void SettingsManager::setRequireConfirmation(bool value)
{
    m_store.writeBool(kRequireConfirmation, m_requireConfirmation = value);
    announce(&SettingsManager::requireConfirmationChanged);
}

void SettingsManager::setCommandTimeout(qint64 value)
{
    m_store.writeInteger(kCommandTimeout, m_commandTimeout = value);
    announce(&SettingsManager::commandTimeoutChanged);
}

void SettingsManager::setLaunchAtLogin(bool value)
{
    m_store.writeBool(kLaunchAtLogin, m_launchAtLogin = value);
    announce(&SettingsManager::launchAtLoginChanged);
}

void SettingsManager::setHistoryDays(qint64 value)
{
    m_store.writeInteger(kHistoryDays, m_historyDays = std::max<qint64>(0, value));
    announce(&SettingsManager::historyDaysChanged);
}

void SettingsManager::setAllowedFolders(const QStringList& folders)
{
    m_store.writeString(kAllowedFolders, (m_allowedFolders = folders).join(QLatin1Char('\n')));
    // Other processes take these from the file, never from the message that tells them of it.
    m_store.sync();
    announce(&SettingsManager::foldersChanged);
}

void SettingsManager::setReadOnlyFolders(const QStringList& folders)
{
    m_store.writeString(kReadOnlyFolders, (m_readOnlyFolders = folders).join(QLatin1Char('\n')));
    // Other processes take these from the file, never from the message that tells them of it.
    m_store.sync();
    announce(&SettingsManager::foldersChanged);
}

void SettingsManager::setCommandNetwork(bool value)
{
    m_store.writeBool(kCommandNetwork, m_commandNetwork = value);
    // Other processes take these from the file, never from the message that tells them of it.
    m_store.sync();
    announce(&SettingsManager::foldersChanged);
}

void SettingsManager::reloadFolders()
{
    m_store.sync();
    m_allowedFolders = readFolders(m_store, kAllowedFolders);
    m_readOnlyFolders = readFolders(m_store, kReadOnlyFolders);
    m_commandNetwork = m_store.readBool(kCommandNetwork).value_or(true);
    announce(&SettingsManager::foldersChanged);
}

#pragma once

#include <QList>
#include <QVariant>
#include <QWidget>

#include <functional>

class FolderListEditor;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QVBoxLayout;
class SettingsManager;

// One thing of the desktop that some tools need (a screenshot route, the notification service,
// a clipboard route, a tray host), whether this session has it, and what to install if not.
struct CapabilityStatus {
    QString name;
    bool available = false;
    QString route;  // how Zarnel reaches it, or why it is missing
    QString advice; // what to install when missing
};

// The user's settings, bound both ways: a change made elsewhere (another process, the settings
// command) shows at once, and a change here goes to the writer, which stores it and passes it
// to every running process.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    using Writer = std::function<void(const QString& key, const QVariant& value)>;
    using CapabilityProbe = std::function<QList<CapabilityStatus>()>;

    static constexpr int kMinLogEntries = 100;
    static constexpr int kMaxLogEntries = 10000;
    static constexpr int kLogEntriesStep = 100;
    static constexpr int kMinTimeout = 5;
    static constexpr int kMaxTimeout = 300;
    static constexpr int kTimeoutStep = 5;

    SettingsPage(SettingsManager& settings, Writer writer, CapabilityProbe probe, QWidget* parent = nullptr);

    // Assigns straight to this process's settings: the writer when there is no other process.
    static Writer localWriter(SettingsManager& settings);

public Q_SLOTS:
    // Shows the settings' current values.
    void showSettings();
    // Shows the capabilities as the probe reports them now.
    void refreshCapabilities();

Q_SIGNALS:
    // "Refresh Status" was pressed: the desktop is to be looked at again (refreshCapabilities()
    // then shows the result).
    void capabilitiesRefreshRequested();

private:
    QCheckBox* addToggle(QVBoxLayout* section, const QString& key, const QString& text, const QString& note = {});
    QSpinBox* addStepper(QVBoxLayout* section, const QString& key, const QString& text, int minimum, int maximum, int step,
                         const QString& suffix);

    SettingsManager& m_settings;
    Writer m_writer;
    CapabilityProbe m_probe;
    QCheckBox* m_autoStart;
    QCheckBox* m_notifications;
    QComboBox* m_logLevel;
    QSpinBox* m_maxEntries;
    QCheckBox* m_toolLogging;
    QCheckBox* m_confirmation;
    QSpinBox* m_timeout;
    QCheckBox* m_launchAtLogin;
    FolderListEditor* m_allowedFolders;
    FolderListEditor* m_readOnlyFolders;
    QCheckBox* m_commandNetwork;
    QLabel* m_commandConfinement;
    QVBoxLayout* m_capabilities;
};

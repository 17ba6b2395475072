#pragma once

#include <QObject>

class LoginItem;
class SettingsManager;

// Keeps the login item in agreement with the launchAtLogin setting: at once when made (the
// setting wins over whatever the file system holds) and on every change of the setting, whether
// the dashboard, a sub-command or another process changed it.
class LaunchAtLoginSync : public QObject {
    Q_OBJECT

public:
    LaunchAtLoginSync(SettingsManager& settings, LoginItem& item, QObject* parent = nullptr);

    // Makes the item agree with the setting; false when it could not (a foreign entry in the
    // way of switching it on, or a file that cannot be written or removed).
    bool apply();
    // The same once, for a process that does not follow the setting.
    static bool bringInLine(const SettingsManager& settings, LoginItem& item);

private:
    SettingsManager& m_settings;
    LoginItem& m_item;
};

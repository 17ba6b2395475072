#include "support/TemporaryHome.h"

#include <QDir>
#include <QSettings>

TemporaryHome::TemporaryHome()
{
    for (const char* folder : {"config", "data", "cache", "state", "runtime"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(m_dir.path() + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TemporaryHome::writePreferences(const QMap<QString, QVariant>& values) const
{
    QSettings settings(preferencesPath(), QSettings::IniFormat);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

QProcessEnvironment TemporaryHome::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), path() + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), path() + QStringLiteral("/state"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path() + QStringLiteral("/runtime"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Without these the program could find the desktop session of whoever runs the tests.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    return env;
}

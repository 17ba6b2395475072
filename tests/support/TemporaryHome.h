#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A fresh HOME with its own XDG folders, so that a test never reads or writes the user's
// settings. The preferences file is <home>/config/tarvonic/zarnel.conf.
class TemporaryHome {
public:
    TemporaryHome();

    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString preferencesPath() const { return configHome() + QStringLiteral("/tarvonic/zarnel.conf"); }

    // Writes settings into the preferences file, as a user editing it would.
    void writePreferences(const QMap<QString, QVariant>& values) const;

    // The environment for a child: this HOME and XDG folders, no display and no session bus.
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_dir;
};

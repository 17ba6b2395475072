#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <optional>

// A fresh HOME with its own XDG folders, so that a test never reads or writes the user's
// settings. The preferences file is <home>/config/tarvonic/zarnel.conf.
class TemporaryHome {
public:
    TemporaryHome();
    // Ends the processes that live in this home (endProcesses) before the folder goes.
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString preferencesPath() const { return configHome() + QStringLiteral("/tarvonic/zarnel.conf"); }

    // Writes settings into the preferences file, as a user editing it would.
    void writePreferences(const QMap<QString, QVariant>& values) const;

    // The environment for a child: this HOME and XDG folders, no display and no session bus.
    QProcessEnvironment environment() const;

    // The control folder of the zarnel processes started with this home's environment.
    QString controlFolder() const { return m_dir.path() + QStringLiteral("/runtime/zarnel"); }
    // The live processes with a control socket in that folder.
    QList<qint64> runningProcesses() const;
    // The live desktop instance holding that folder's lock.
    std::optional<qint64> desktopInstancePid() const;
    // Ends them all (SIGTERM, SIGKILL after 5 s): a desktop instance that a client's process
    // started outlives the process and the test that started it.
    void endProcesses() const;

private:
    QTemporaryDir m_dir;
};

#pragma once

#include "platform/desktop/LinuxWorkspace.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <vector>

// Desktop entries for stand-in applications in a temporary XDG data directory, and the
// processes they become. This process becomes a subreaper, so that programs started detached
// (and orphaned) are adopted by it and can be ended and reaped. Ends every process it knows of
// when destroyed.
class TestApplications {
public:
    TestApplications();
    ~TestApplications();

    // For XDG_DATA_HOME.
    QString dataDirectory() const { return m_dir.path() + QStringLiteral("/data"); }
    // For XDG_DATA_DIRS: a directory without applications, so that installed ones do not count.
    QString emptyDataDirectory() const { return m_dir.path() + QStringLiteral("/none"); }
    QString applicationsDirectory() const { return dataDirectory() + QStringLiteral("/applications"); }
    QString binDirectory() const { return m_dir.path() + QStringLiteral("/bin"); }

    // A workspace over these applications only, in the C locale, with nothing active and a
    // short wait for programs that fail at once.
    LinuxWorkspace::Configuration workspaceConfiguration() const;

    // A copy of the stand-in program under this file name in binDirectory(); its path.
    QString installProgram(const QString& program);
    // applications/<id>.desktop running the program (installed when needed) as
    // "<program> <record-directory> <options> %U". `extraLines` go into the group as they are.
    void addApplication(const QString& id, const QString& name, const QString& program, const QString& options = {},
                        const QString& extraLines = {});
    // A desktop entry with these lines after "[Desktop Entry]".
    void writeEntry(const QString& id, const QString& lines);

    // Starts `command` as our child in a process group of its own; its pid.
    qint32 start(const QStringList& command);
    // Starts the installed program with these stand-in options and waits for its record.
    qint32 startProgram(const QString& program, const QStringList& options = {});

    struct Record {
        qint32 pid = 0;
        QStringList arguments; // those after the stand-in's own options
    };
    // The record of the program's last start; nothing on time-out. Its process is ended with the rest.
    std::optional<Record> waitForRecord(const QString& program, int timeoutMs = 10000);

    // Whether the process ended within the time (reaped when it is ours).
    static bool waitUntilEnded(qint32 pid, int timeoutMs = 10000);
    static bool isRunning(qint32 pid);

private:
    QTemporaryDir m_dir;
    std::vector<qint32> m_groups;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const char* name, const QByteArray& value);
    ~ScopedEnvironmentVariable();

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

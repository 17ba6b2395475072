#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// A process as /proc shows it.
struct ProcessInfo {
    qint32 pid = 0;
    qint32 parentPid = 0;
    QString executable;    // the running program file, symbolic links resolved
    QStringList arguments; // the command line, argv[0] first
    QString workingDirectory;
};

// The processes of the user this program runs as, and signals to them.
namespace ProcessTable {

// Every process whose real user is ours and whose program can be read, by ascending pid.
// Zombies and kernel threads have no program and are left out.
std::vector<ProcessInfo> processesOfCurrentUser();

// Sends SIGTERM (or SIGKILL when `force`) to `pid`; whether the signal was accepted. Refuses,
// without sending anything, our own process, process 1, pids below 1 (which would address a
// whole group) and any process whose real user is not ours.
bool sendTermination(qint32 pid, bool force);

} // namespace ProcessTable

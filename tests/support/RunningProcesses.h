#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How many live (not zombie) processes run `sleep` with one of the given durations: tests that
// stop commands check with it that nothing was left behind.
int runningSleeps(const QStringList& durations);

// Whether the process exists and is not a zombie (a test process that is a subreaper inherits
// orphans it never reaps).
bool isRunningProcess(qint64 pid);
// Waits up to `timeoutMs` for the process to end; whether it did.
bool waitUntilEnded(qint64 pid, int timeoutMs = 20000);
// The process id a command wrote into the file, once the file holds one (up to `timeoutMs`).
std::optional<qint64> waitForPidFile(const QString& path, int timeoutMs = 10000);

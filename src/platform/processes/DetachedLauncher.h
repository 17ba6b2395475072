#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

struct DetachedLaunch {
    qint32 pid = 0; // the started process; 0 when it did not start
    QString error;  // why it did not start, or why it ended at once; empty on success
    bool succeeded() const { return error.isEmpty(); }
};

// Starts programs that outlive us and know nothing of our streams.
namespace DetachedLauncher {

// Starts arguments[0] (looked up on PATH when it names no folder) with `arguments` as its
// command line, in its own session, with /dev/null as standard input, output and error and
// none of our other descriptors, in `workingDirectory` when not empty. Waits up to `settle`
// for a process that ends at once: ending with a non-zero status or by a signal is a failure.
// The program is not our child: nothing is left for us to reap.
DetachedLaunch start(const QStringList& arguments, const QString& workingDirectory, std::chrono::milliseconds settle);

} // namespace DetachedLauncher

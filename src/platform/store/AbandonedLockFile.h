#pragma once

#include <QString>

// QLockFile creates its file and only then writes its owner's process id into it, so a process
// killed in between leaves an empty file. QLockFile cannot tell that file from a live lock until
// it is older than the lock's stale time (30 seconds by default, never for a lock without one).
// The same holds for the ".rmlock" file QLockFile takes beside a lock while it removes the lock
// of an owner that died: with that one left empty, the dead owner's lock stays for 30 seconds.
class AbandonedLockFile {
public:
    // Removes the lock file at `path` and its ".rmlock" when they are empty, nobody holds their
    // kernel lock and they have been empty for longer than any owner takes to fill them (a file
    // younger than that is waited for, up to a second).
    static void remove(const QString& path);
};

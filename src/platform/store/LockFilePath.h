#pragma once

#include <QString>

// A lock file is one only as a regular file. QLockFile takes anything else at its path for the
// lock of another process: it waits for a folder there without end, reads a FIFO there until a
// writer comes, and follows a symbolic link to whatever it names.
class LockFilePath {
public:
    // Empty when nothing or a regular file is at `path` (looked at without following a link);
    // otherwise why no lock can be taken there, as "<path> is a FIFO, not a lock file".
    static QString problem(const QString& path);
};

#pragma once

#include "platform/files/FileManager.h"

#include <QDateTime>

// Replaces a regular file's contents so that readers see the old text or the new, never a part,
// and so that the file stays what it was: its owner, group, mode, extended attributes and access
// lists are carried over, a symbolic link keeps pointing at it, and a file with several names
// (hard links) is written in place so that every name sees the new contents.
class FileReplacement {
public:
    // Temporary files of ours older than this are what a killed write left behind.
    static constexpr qint64 kStaleAfterSeconds = 60;

    static FileResult<void> write(const FilePath& path, const QByteArray& bytes);

    // Whether a directory entry is named like our temporary files.
    static bool isTemporaryName(const QByteArray& name);

private:
    static FileResult<void> writeInPlace(const QByteArray& target, const QByteArray& bytes);
    static void removeStaleTemporaries(int dir);
};

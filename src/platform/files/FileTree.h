#pragma once

#include "platform/files/FileManager.h"

#include <optional>

struct stat;

// Walks of directory trees on descriptors, relative to an open parent directory, never
// following a symbolic link and never crossing into another mounted file system.
class FileTree {
public:
    // Copies the item `fromName` in `fromDir` to `toName` in `toDir`, which must not exist.
    // False with errno set on failure; what was created stays for the caller to remove.
    static bool copy(int fromDir, const char* fromName, int toDir, const char* toName);

    // Removes the item `name` in `parent`: a file or a link itself, an empty directory, or with
    // `recursive` a directory and everything in it. Nothing is removed when a file system is
    // mounted anywhere in the tree; the error names the mount point (`shownPath` is the item's
    // path as the caller shows it).
    static FileResult<void> remove(int parent, const char* name, const FilePath& shownPath, bool recursive);

    // The mount the item `name` in `dir` belongs to (the device where the kernel cannot tell).
    static quint64 mountOf(int dir, const char* name);

private:
    static std::optional<FilePath> findMountPoint(int dir, const FilePath& shownPath, quint64 mount);
    // Counts in `removed` what it removed, also when it then fails.
    static bool removeDirectoryContents(int dir, quint64 mount, qint64& removed);
};

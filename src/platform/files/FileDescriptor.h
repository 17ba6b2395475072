#pragma once

#include "platform/files/FileManager.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// Owns an open descriptor and closes it when it goes out of scope; with the few operations on
// descriptors that the file manager's parts share.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

    // The system's sentence for an error number, and for errno.
    static FileError errorFromErrno(int error);
    static FileError lastError();

    // Writes everything, retrying after interruptions; false with errno set on failure.
    static bool writeAll(int fd, const char* data, qsizetype size);
    // Copies the rest of `from` to `to`, inside the kernel where it can, and leaving the holes
    // of a sparse regular file as holes.
    static bool copyContents(int from, int to);
    // Gives `fd` the access and modification times of `source`.
    static void copyTimes(int fd, const struct stat& source);
    // Copies every extended attribute of the item at `from` (not following a link) that `to`
    // can take, access lists included; false with errno set when one could not be copied.
    static bool copyExtendedAttributes(const char* from, int to);

    // The canonical path of an existing item, or nothing.
    static std::optional<QByteArray> canonicalPath(const QByteArray& path);

    static bool isDotOrDotDot(const char* name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

private:
    int m_fd;
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryStream = std::unique_ptr<DIR, DirectoryCloser>;

// Takes ownership of `fd` on success; null (with errno set) when it is not a directory.
inline DirectoryStream openDirectoryStream(FileDescriptor& fd)
{
    DIR* directory = ::fdopendir(fd.get());
    if (directory)
        fd.release();
    return DirectoryStream(directory);
}

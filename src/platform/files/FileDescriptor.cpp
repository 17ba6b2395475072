#include "platform/files/FileDescriptor.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <unistd.h>

#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>

FileError FileDescriptor::errorFromErrno(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in our buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return FileError{QString::fromLocal8Bit(text)};
}

FileError FileDescriptor::lastError()
{
    return errorFromErrno(errno);
}

bool FileDescriptor::writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(std::min<qsizetype>(size, 1 << 30)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

namespace {

// Copies `length` bytes at `offset` of `from` to the same offset of `to`.
bool copyRange(int from, int to, off_t offset, off_t length)
{
    if (::lseek(to, offset, SEEK_SET) != offset)
        return false;
    while (length > 0) {
        const ssize_t sent = ::sendfile(to, from, &offset, static_cast<size_t>(std::min<off_t>(length, 1 << 30)));
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0) {
            if (sent == 0)
                errno = EIO; // the file shrank meanwhile
            return false;
        }
        length -= sent;
    }
    return true;
}

// Copies the data of the regular file `from`, read from its start, to the same offsets of `to`
// and gives `to` its length. Nothing when it cannot tell data from holes (then nothing was done).
std::optional<bool> copyLeavingHoles(int from, int to)
{
    struct stat info;
    if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0 || ::lseek(from, 0, SEEK_CUR) != 0)
        return std::nullopt;
    off_t offset = 0;
    while (offset < info.st_size) {
        const off_t data = ::lseek(from, offset, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break; // only a hole is left
            if (offset == 0 && (errno == EINVAL || errno == EOPNOTSUPP))
                return std::nullopt;
            return false;
        }
        off_t hole = ::lseek(from, data, SEEK_HOLE);
        if (hole < 0)
            return false;
        hole = std::min(hole, info.st_size);
        if (hole > data && !copyRange(from, to, data, hole - data))
            return false;
        offset = hole;
    }
    // A hole at the end is made by the length alone.
    return ::ftruncate(to, info.st_size) == 0;
}

} // namespace

bool FileDescriptor::copyContents(int from, int to)
{
    // A sparse file (a disk image, a database) stays sparse rather than growing by its holes.
    if (const auto copied = copyLeavingHoles(from, to))
        return *copied;
    // sendfile copies inside the kernel; fall back to plain reads where it is refused.
    for (;;) {
        const ssize_t sent = ::sendfile(to, from, nullptr, 1 << 30);
        if (sent > 0)
            continue;
        if (sent == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EINVAL || errno == ENOSYS)
            break;
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(to, buffer, got))
            return false;
    }
}

void FileDescriptor::copyTimes(int fd, const struct stat& source)
{
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(fd, times);
}

bool FileDescriptor::copyExtendedAttributes(const char* from, int to)
{
    const ssize_t listSize = ::llistxattr(from, nullptr, 0);
    if (listSize <= 0)
        return listSize == 0 || errno == ENOTSUP;
    QByteArray names(listSize, '\0');
    const ssize_t listed = ::llistxattr(from, names.data(), static_cast<size_t>(names.size()));
    if (listed < 0)
        return false;
    names.truncate(listed);
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t size = ::lgetxattr(from, name.constData(), nullptr, 0);
        if (size < 0)
            continue; // gone meanwhile, or not ours to read
        QByteArray value(size, '\0');
        const ssize_t got = ::lgetxattr(from, name.constData(), value.data(), static_cast<size_t>(value.size()));
        if (got < 0)
            continue;
        if (::fsetxattr(to, name.constData(), value.constData(), static_cast<size_t>(got), 0) != 0) {
            // Another file system may not know a namespace ("security.", "trusted.") or may
            // refuse it to an unprivileged process: what it cannot hold is not ours to keep.
            if (errno == ENOTSUP || errno == EPERM || errno == EACCES)
                continue;
            return false;
        }
    }
    return true;
}

std::optional<QByteArray> FileDescriptor::canonicalPath(const QByteArray& path)
{
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

#include "platform/files/FileTree.h"

#include "platform/files/FileDescriptor.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

bool isDirectoryEntry(int dir, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat info;
    return ::fstatat(dir, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

quint64 FileTree::mountOf(int dir, const char* name)
{
    struct statx info;
    if (::statx(dir, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &info) != 0)
        return 0;
    // A bind mount of a folder of the same file system shares its device: only the mount id
    // tells them apart. Kernels before 5.8 do not report it.
    if (info.stx_mask & STATX_MNT_ID)
        return info.stx_mnt_id;
    return (quint64{info.stx_dev_major} << 32) | info.stx_dev_minor;
}

bool FileTree::copy(int fromDir, const char* fromName, int toDir, const char* toName)
{
    struct stat info;
    if (::fstatat(fromDir, fromName, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const mode_t permissions = info.st_mode & 07777;

    if (S_ISLNK(info.st_mode)) {
        QByteArray target(static_cast<qsizetype>(info.st_size > 0 ? info.st_size : PATH_MAX), Qt::Uninitialized);
        const ssize_t length = ::readlinkat(fromDir, fromName, target.data(), static_cast<size_t>(target.size()));
        if (length < 0)
            return false;
        target.truncate(length);
        return ::symlinkat(target.constData(), toDir, toName) == 0;
    }

    if (S_ISREG(info.st_mode)) {
        FileDescriptor from(::openat(fromDir, fromName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!from.valid())
            return false;
        FileDescriptor to(::openat(toDir, toName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!to.valid())
            return false;
        if (!FileDescriptor::copyContents(from.get(), to.get()) || ::fchmod(to.get(), permissions) != 0)
            return false;
        FileDescriptor::copyTimes(to.get(), info);
        return ::close(to.release()) == 0;
    }

    if (S_ISDIR(info.st_mode)) {
        FileDescriptor from(::openat(fromDir, fromName, kDirectoryFlags));
        if (!from.valid())
            return false;
        if (::mkdirat(toDir, toName, 0700) != 0)
            return false;
        FileDescriptor to(::openat(toDir, toName, kDirectoryFlags));
        if (!to.valid())
            return false;
        const int toFd = to.get();
        DirectoryStream stream = openDirectoryStream(from);
        if (!stream)
            return false;
        const int fromFd = ::dirfd(stream.get());
        errno = 0;
        while (const dirent* entry = ::readdir(stream.get())) {
            if (!FileDescriptor::isDotOrDotDot(entry->d_name) && !copy(fromFd, entry->d_name, toFd, entry->d_name))
                return false;
            errno = 0;
        }
        if (errno != 0)
            return false;
        ::fchmod(toFd, permissions);
        FileDescriptor::copyTimes(toFd, info);
        return true;
    }

    if (S_ISFIFO(info.st_mode))
        return ::mkfifoat(toDir, toName, permissions) == 0;

    errno = ENOTSUP;
    return false;
}

std::optional<FilePath> FileTree::findMountPoint(int dir, const FilePath& shownPath, quint64 mount)
{
    // Opened anew rather than duplicated: a duplicate shares the read position of the listing.
    FileDescriptor fd(::openat(dir, ".", kDirectoryFlags));
    DirectoryStream stream = openDirectoryStream(fd);
    if (!stream)
        return std::nullopt; // the removal reports what is wrong with it
    const int dirFd = ::dirfd(stream.get());
    while (const dirent* entry = ::readdir(stream.get())) {
        if (FileDescriptor::isDotOrDotDot(entry->d_name) || !isDirectoryEntry(dirFd, entry))
            continue;
        const FilePath child = shownPath.child(entry->d_name);
        if (mountOf(dirFd, entry->d_name) != mount)
            return child;
        FileDescriptor childFd(::openat(dirFd, entry->d_name, kDirectoryFlags));
        if (!childFd.valid())
            continue;
        if (auto found = findMountPoint(childFd.get(), child, mount))
            return found;
    }
    return std::nullopt;
}

bool FileTree::removeDirectoryContents(int dir, quint64 mount, qint64& removed)
{
    // Opened anew rather than duplicated: a duplicate shares the read position of the listing.
    FileDescriptor fd(::openat(dir, ".", kDirectoryFlags));
    DirectoryStream stream = openDirectoryStream(fd);
    if (!stream)
        return false;
    const int dirFd = ::dirfd(stream.get());
    errno = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        if (FileDescriptor::isDotOrDotDot(entry->d_name)) {
            errno = 0;
            continue;
        }
        if (!isDirectoryEntry(dirFd, entry)) {
            if (::unlinkat(dirFd, entry->d_name, 0) != 0)
                return false;
            ++removed;
            errno = 0;
            continue;
        }
        // Checked again on the way down: something may have been mounted since the search.
        if (mountOf(dirFd, entry->d_name) != mount) {
            errno = EXDEV;
            return false;
        }
        FileDescriptor child(::openat(dirFd, entry->d_name, kDirectoryFlags));
        if (!child.valid() || !removeDirectoryContents(child.get(), mount, removed))
            return false;
        child.reset();
        if (::unlinkat(dirFd, entry->d_name, AT_REMOVEDIR) != 0)
            return false;
        ++removed;
        errno = 0;
    }
    return errno == 0;
}

FileResult<void> FileTree::remove(int parent, const char* name, const FilePath& shownPath, bool recursive)
{
    struct stat info;
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FileDescriptor::lastError();
    if (!S_ISDIR(info.st_mode)) {
        if (::unlinkat(parent, name, 0) != 0)
            return FileDescriptor::lastError();
        return {};
    }
    // A failure midway says what was done before it: never a bare error after a change.
    qint64 removed = 0;
    const auto saying = [](FileError error, qint64 count) {
        if (count > 0)
            error.description += QStringLiteral(" (%1 item(s) inside were deleted before that)").arg(count);
        return error;
    };
    if (recursive) {
        const auto crossing = [](const FilePath& mountPoint) {
            return FileError{QStringLiteral("A file system is mounted at ") + mountPoint.text() + QStringLiteral("; nothing was deleted")};
        };
        FileDescriptor dir(::openat(parent, name, kDirectoryFlags));
        if (!dir.valid())
            return FileDescriptor::lastError();
        const quint64 mount = mountOf(dir.get(), ".");
        if (mount != mountOf(dir.get(), ".."))
            return crossing(shownPath);
        if (auto mountPoint = findMountPoint(dir.get(), shownPath, mount))
            return crossing(*mountPoint);
        if (!removeDirectoryContents(dir.get(), mount, removed)) {
            if (errno == EXDEV)
                return saying(FileError{QStringLiteral("A file system was mounted inside the directory during the deletion")}, removed);
            return saying(FileDescriptor::lastError(), removed);
        }
    }
    if (::unlinkat(parent, name, AT_REMOVEDIR) != 0) {
        FileError error = FileDescriptor::lastError();
        if (removed > 0)
            error.description += QStringLiteral(" (everything inside it was deleted; the folder itself is left)");
        return error;
    }
    return {};
}

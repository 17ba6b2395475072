#include "platform/files/FileReplacement.h"

#include "platform/files/FileDescriptor.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView kTemporaryPrefix = ".zarnel-write-";

QByteArray temporaryName()
{
    quint64 random[2];
    QRandomGenerator::system()->fillRange(random);
    return kTemporaryPrefix.toByteArray() + QByteArray::number(random[0], 36) + QByteArray::number(random[1], 36);
}

// The permission bits a newly created file gets; read once, because setting the umask to
// learn it would race with threads creating files meanwhile.
mode_t creationMode()
{
    static const mode_t mode = [] {
        mode_t mask = 022;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:"))
                    mask = static_cast<mode_t>(std::strtoul(line.mid(6).trimmed().constData(), nullptr, 8));
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

FileError notARegularFile()
{
    return FileError{QStringLiteral("Not a regular file")};
}

// Gives the new file what the replaced one had. The owner can only be kept by a process allowed
// to give files away (root); the group also by a member of it. Neither is an error otherwise.
bool carryOverAttributes(int fd, const QByteArray& original, const struct stat& info)
{
    if (::fchown(fd, info.st_uid, info.st_gid) != 0)
        ::fchown(fd, static_cast<uid_t>(-1), info.st_gid);
    return ::fchmod(fd, info.st_mode & 07777) == 0 && FileDescriptor::copyExtendedAttributes(original.constData(), fd);
}

} // namespace

bool FileReplacement::isTemporaryName(const QByteArray& name)
{
    if (!name.startsWith(kTemporaryPrefix) || name.size() == kTemporaryPrefix.size())
        return false;
    for (const char c : name.mid(kTemporaryPrefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

void FileReplacement::removeStaleTemporaries(int dir)
{
    FileDescriptor fd(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DirectoryStream stream = openDirectoryStream(fd);
    if (!stream)
        return;
    const int dirFd = ::dirfd(stream.get());
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(stream.get())) {
        if (!isTemporaryName(entry->d_name))
            continue;
        struct stat info;
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)
            && now - info.st_mtim.tv_sec > kStaleAfterSeconds)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
}

FileResult<void> FileReplacement::writeInPlace(const QByteArray& target, const QByteArray& bytes)
{
    FileDescriptor fd(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid())
        return FileDescriptor::lastError();
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return FileDescriptor::lastError();
    if (!S_ISREG(info.st_mode))
        return notARegularFile();
    if (::ftruncate(fd.get(), 0) != 0 || !FileDescriptor::writeAll(fd.get(), bytes.constData(), bytes.size()) || ::fsync(fd.get()) != 0
        || ::close(fd.release()) != 0)
        return FileDescriptor::lastError();
    return {};
}

FileResult<void> FileReplacement::write(const FilePath& path, const QByteArray& bytes)
{
    // Replacing a link with a file would cut whatever the link tied together: write its target.
    QByteArray target = path.native();
    struct stat info;
    if (::lstat(target.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        const auto resolved = FileDescriptor::canonicalPath(target);
        if (!resolved)
            return notARegularFile(); // a dangling link, or one in a loop
        target = *resolved;
    }
    bool existing = false;
    if (::stat(target.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return FileDescriptor::errorFromErrno(EISDIR);
        // A device, a pipe or a socket would be replaced by a plain file.
        if (!S_ISREG(info.st_mode))
            return notARegularFile();
        existing = true;
        // Renaming over a file needs only the folder's permission: a file its owner made
        // read-only must stay as it is.
        if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
            return FileDescriptor::lastError();
        if (info.st_nlink > 1)
            return writeInPlace(target, bytes);
    }

    const FilePath targetPath = FilePath::fromNative(target);
    QByteArray directory = targetPath.parent().native();
    if (directory.isEmpty())
        directory = QByteArrayLiteral(".");
    FileDescriptor dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return FileDescriptor::lastError();
    removeStaleTemporaries(dir.get());

    QByteArray temporary;
    FileDescriptor fd;
    // The name is random and the file is created exclusively, so no one can prepare it.
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temporary = temporaryName();
        fd.reset(::openat(dir.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno != EEXIST)
            break;
    }
    if (!fd.valid())
        return FileDescriptor::lastError();

    const bool prepared = existing ? carryOverAttributes(fd.get(), target, info) : ::fchmod(fd.get(), creationMode()) == 0;
    if (!prepared || !FileDescriptor::writeAll(fd.get(), bytes.constData(), bytes.size()) || ::fdatasync(fd.get()) != 0
        || ::close(fd.release()) != 0
        || ::renameat(dir.get(), temporary.constData(), dir.get(), targetPath.nativeName().constData()) != 0) {
        const FileError error = FileDescriptor::lastError();
        ::unlinkat(dir.get(), temporary.constData(), 0);
        return error;
    }
    return {};
}

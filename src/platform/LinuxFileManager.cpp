#include "platform/LinuxFileManager.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kReadChunk = 1024 * 1024;

FileError errorFromErrno(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in our buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return FileError{QString::fromLocal8Bit(text)};
}

FileError lastError()
{
    return errorFromErrno(errno);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryStream = std::unique_ptr<DIR, DirectoryCloser>;

// Takes ownership of `fd`; null (with errno set) when it is not a directory.
DirectoryStream openDirectoryStream(Descriptor& fd)
{
    DIR* directory = ::fdopendir(fd.get());
    if (directory)
        fd.release();
    return DirectoryStream(directory);
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool writeAll(int fd, const char* data, qsizetype size)
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

bool existsWithoutFollowing(const char* path)
{
    struct stat info;
    return ::lstat(path, &info) == 0;
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

QByteArray temporaryName()
{
    quint64 random[2];
    QRandomGenerator::system()->fillRange(random);
    return ".zarnel-write-" + QByteArray::number(random[0], 36) + QByteArray::number(random[1], 36);
}

bool copyFileContents(int from, int to)
{
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

void copyTimes(int fd, const struct stat& source)
{
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(fd, times);
}

// Copies the item `name` in `fromDir` to `name` in `toDir`; the destination must not exist.
bool copyItemAt(int fromDir, const char* fromName, int toDir, const char* toName)
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
        Descriptor from(::openat(fromDir, fromName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!from.valid())
            return false;
        Descriptor to(::openat(toDir, toName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!to.valid())
            return false;
        if (!copyFileContents(from.get(), to.get()) || ::fchmod(to.get(), permissions) != 0)
            return false;
        copyTimes(to.get(), info);
        return ::close(to.release()) == 0;
    }

    if (S_ISDIR(info.st_mode)) {
        Descriptor from(::openat(fromDir, fromName, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        if (!from.valid())
            return false;
        if (::mkdirat(toDir, toName, 0700) != 0)
            return false;
        Descriptor to(::openat(toDir, toName, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        if (!to.valid())
            return false;
        const int toFd = to.get();
        DirectoryStream stream = openDirectoryStream(from);
        if (!stream)
            return false;
        const int fromFd = ::dirfd(stream.get());
        errno = 0;
        while (const dirent* entry = ::readdir(stream.get())) {
            if (!isDotOrDotDot(entry->d_name) && !copyItemAt(fromFd, entry->d_name, toFd, entry->d_name))
                return false;
            errno = 0;
        }
        if (errno != 0)
            return false;
        ::fchmod(toFd, permissions);
        copyTimes(toFd, info);
        return true;
    }

    if (S_ISFIFO(info.st_mode))
        return ::mkfifoat(toDir, toName, permissions) == 0;

    errno = ENOTSUP;
    return false;
}

// Removes the directory `name` in `parent` and everything below it, without following links.
bool removeDirectoryAt(int parent, const char* name)
{
    Descriptor fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid())
        return false;
    DirectoryStream stream = openDirectoryStream(fd);
    if (!stream)
        return false;
    const int dirFd = ::dirfd(stream.get());
    errno = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        if (isDotOrDotDot(entry->d_name)) {
            errno = 0;
            continue;
        }
        bool directory = entry->d_type == DT_DIR;
        if (!directory) {
            if (::unlinkat(dirFd, entry->d_name, 0) == 0) {
                errno = 0;
                continue;
            }
            // unlink refuses a directory (EISDIR, or EPERM on some systems) when d_type did not
            // tell us what the entry is.
            const int unlinkError = errno;
            struct stat info;
            directory = (unlinkError == EISDIR || unlinkError == EPERM) && ::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISDIR(info.st_mode);
            if (!directory) {
                errno = unlinkError;
                return false;
            }
        }
        if (!removeDirectoryAt(dirFd, entry->d_name))
            return false;
        errno = 0;
    }
    if (errno != 0)
        return false;
    stream.reset();
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

// The canonical path of an existing item, or nothing.
std::optional<QByteArray> canonicalPath(const QByteArray& path)
{
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

} // namespace

QString LinuxFileManager::currentDirectory() const
{
    char* path = ::getcwd(nullptr, 0);
    if (!path)
        return QStringLiteral(".");
    QString result = QString::fromUtf8(path);
    std::free(path);
    return result;
}

bool LinuxFileManager::exists(const FilePath& path) const
{
    struct stat info;
    return ::stat(path.native().constData(), &info) == 0;
}

bool LinuxFileManager::isDirectory(const FilePath& path) const
{
    struct stat info;
    return ::stat(path.native().constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileResult<QByteArray> LinuxFileManager::readFile(const FilePath& path, const CancelCheck& cancelled) const
{
    Descriptor fd(::open(path.native().constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return lastError();
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return lastError();
    if (S_ISDIR(info.st_mode))
        return errorFromErrno(EISDIR);
    const auto tooLarge = [](const QString& size) {
        return FileError{QStringLiteral("File too large (%1 bytes; the limit is %2)").arg(size).arg(kMaxReadBytes)};
    };
    if (info.st_size > kMaxReadBytes)
        return tooLarge(QString::number(info.st_size));

    // Sizes of regular files are a good first guess; devices and /proc files report none, so
    // the limit is enforced on what is actually read too.
    QByteArray data(S_ISREG(info.st_mode) && info.st_size > 0 ? info.st_size + 1 : 64 * 1024, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (cancelled && cancelled())
            return errorFromErrno(ECANCELED);
        if (used == data.size()) {
            if (used > kMaxReadBytes)
                return tooLarge(QStringLiteral("more than %1").arg(kMaxReadBytes));
            data.resize(std::min<qsizetype>(used * 2, kMaxReadBytes + 1));
        }
        const ssize_t got = ::read(fd.get(), data.data() + used, static_cast<size_t>(std::min(kReadChunk, data.size() - used)));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        used += got;
    }
    if (used > kMaxReadBytes)
        return tooLarge(QStringLiteral("more than %1").arg(kMaxReadBytes));
    data.truncate(used);
    return data;
}

FileResult<void> LinuxFileManager::writeFile(const FilePath& path, const QByteArray& bytes)
{
    Descriptor fd(::open(path.native().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid() || !writeAll(fd.get(), bytes.constData(), bytes.size()))
        return lastError();
    if (::close(fd.release()) != 0)
        return lastError();
    return {};
}

FileResult<void> LinuxFileManager::writeFileAtomically(const FilePath& path, const QByteArray& bytes)
{
    // Replacing a link with a file would cut whatever the link tied together: write its target.
    QByteArray target = path.native();
    struct stat info;
    bool existing = false;
    if (::lstat(target.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (auto resolved = canonicalPath(target))
            target = *resolved;
    }
    if (::stat(target.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return errorFromErrno(EISDIR);
        existing = true;
    }

    const QByteArray directory = FilePath::fromNative(target).parent().native();
    QByteArray temporary;
    Descriptor fd;
    // The name is random and the file is created exclusively, so no one can prepare it.
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temporary = FilePath::fromNative(directory.isEmpty() ? QByteArrayLiteral(".") : directory).child(temporaryName()).native();
        fd.reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno != EEXIST)
            break;
    }
    if (!fd.valid())
        return lastError();

    const mode_t permissions = existing ? (info.st_mode & 07777) : creationMode();
    if (!writeAll(fd.get(), bytes.constData(), bytes.size()) || ::fchmod(fd.get(), permissions) != 0 || ::fdatasync(fd.get()) != 0
        || ::close(fd.release()) != 0 || ::rename(temporary.constData(), target.constData()) != 0) {
        const FileError error = lastError();
        ::unlink(temporary.constData());
        return error;
    }
    return {};
}

FileResult<void> LinuxFileManager::createDirectory(const FilePath& path, bool withIntermediates)
{
    const char* native = path.native().constData();
    if (::mkdir(native, 0777) == 0)
        return {};
    if (!withIntermediates)
        return lastError();
    if (errno == EEXIST) {
        if (isDirectory(path))
            return {};
        return errorFromErrno(EEXIST);
    }
    if (errno != ENOENT)
        return lastError();
    const FilePath parent = path.parent();
    if (parent.isEmpty() || parent == path)
        return errorFromErrno(ENOENT);
    if (auto created = createDirectory(parent, true); !created.ok())
        return created;
    if (::mkdir(native, 0777) == 0 || (errno == EEXIST && isDirectory(path)))
        return {};
    return lastError();
}

FileResult<void> LinuxFileManager::removeItem(const FilePath& path)
{
    const char* native = path.native().constData();
    struct stat info;
    if (::lstat(native, &info) != 0)
        return lastError();
    const bool removed = S_ISDIR(info.st_mode) ? removeDirectoryAt(AT_FDCWD, native) : ::unlink(native) == 0;
    if (!removed)
        return lastError();
    return {};
}

FileResult<void> LinuxFileManager::moveItem(const FilePath& source, const FilePath& destination)
{
    const char* from = source.native().constData();
    const char* to = destination.native().constData();
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        // Some file systems do not offer the no-replace rename: test, then rename.
        if (existsWithoutFollowing(to))
            return errorFromErrno(EEXIST);
        if (::rename(from, to) == 0)
            return {};
    }
    if (errno != EXDEV)
        return lastError();
    // Across file systems a move is a copy and a removal; a failed copy leaves the source alone.
    if (auto copied = copyItem(source, destination); !copied.ok()) {
        if (existsWithoutFollowing(to))
            removeItem(destination);
        return copied;
    }
    return removeItem(source);
}

FileResult<void> LinuxFileManager::copyItem(const FilePath& source, const FilePath& destination)
{
    struct stat info;
    if (::lstat(source.native().constData(), &info) != 0)
        return lastError();
    if (existsWithoutFollowing(destination.native().constData()))
        return errorFromErrno(EEXIST);
    if (S_ISDIR(info.st_mode)) {
        // A copy inside its own source would keep finding itself.
        const auto from = canonicalPath(source.native());
        const auto into = canonicalPath(destination.parent().isEmpty() ? QByteArrayLiteral(".") : destination.parent().native());
        if (from && into && (*into == *from || into->startsWith(*from + '/') || *from == "/"))
            return FileError{QStringLiteral("Cannot copy a directory into itself")};
    }
    if (!copyItemAt(AT_FDCWD, source.native().constData(), AT_FDCWD, destination.native().constData()))
        return lastError();
    return {};
}

FileResult<DirectoryListing> LinuxFileManager::listDirectory(const FilePath& path, ListingDetail detail) const
{
    Descriptor fd(::open(path.native().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return lastError();
    DirectoryListing listing;
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return lastError();
    listing.identity = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};

    DirectoryStream stream = openDirectoryStream(fd);
    if (!stream)
        return lastError();
    const int dirFd = ::dirfd(stream.get());
    errno = 0;
    while (const dirent* raw = ::readdir(stream.get())) {
        if (isDotOrDotDot(raw->d_name)) {
            errno = 0;
            continue;
        }
        DirectoryEntry entry;
        entry.nativeName = QByteArray(raw->d_name);
        unsigned char type = raw->d_type;
        if (detail == ListingDetail::Attributes || type == DT_UNKNOWN) {
            if (::fstatat(dirFd, raw->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return lastError();
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            if (detail == ListingDetail::Attributes) {
                entry.size = static_cast<qint64>(info.st_size);
                entry.modified = QDateTime::fromMSecsSinceEpoch(
                    static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000, Qt::UTC);
            }
        }
        switch (type) {
        case DT_DIR:
            entry.type = DirectoryEntry::Type::Directory;
            entry.leadsToDirectory = true;
            break;
        case DT_LNK:
            entry.type = DirectoryEntry::Type::SymbolicLink;
            entry.leadsToDirectory = ::fstatat(dirFd, raw->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
            break;
        case DT_REG: entry.type = DirectoryEntry::Type::File; break;
        default: entry.type = DirectoryEntry::Type::Other;
        }
        listing.entries.push_back(std::move(entry));
        errno = 0;
    }
    if (errno != 0)
        return lastError();
    return listing;
}

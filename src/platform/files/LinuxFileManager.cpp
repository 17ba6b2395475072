#include "platform/files/LinuxFileManager.h"

#include "platform/files/FileDescriptor.h"
#include "platform/files/FileReplacement.h"
#include "platform/files/FileTree.h"

#include <cerrno>
#include <cstdlib>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kFileReadChunk = 1024 * 1024;

FileError errorFromErrno(int error)
{
    return FileDescriptor::errorFromErrno(error);
}

FileError lastError()
{
    return FileDescriptor::lastError();
}

bool existsWithoutFollowing(const char* path)
{
    struct stat info;
    return ::lstat(path, &info) == 0;
}

// The directory holding an item, opened, and the item's name in it, so that the operation
// acts on the item itself: a trailing slash would otherwise make the system follow a link.
struct ItemInDirectory {
    FileDescriptor opened;
    int directory = AT_FDCWD;
    QByteArray name;
};

std::optional<FileError> openParent(const FilePath& path, ItemInDirectory& item)
{
    item.name = path.nativeName();
    if (item.name.isEmpty() || item.name == "." || item.name == "..") {
        // "/", or a name that stands for another directory: the path as it is.
        item.name = path.native();
        return std::nullopt;
    }
    const FilePath parent = path.parent();
    item.opened.reset(::open(parent.isEmpty() ? "." : parent.native().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!item.opened.valid())
        return lastError();
    item.directory = item.opened.get();
    return std::nullopt;
}

bool endsWithSlash(const FilePath& path)
{
    return path.native().size() > 1 && path.native().endsWith('/');
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
    return !path.containsNul() && ::stat(path.native().constData(), &info) == 0;
}

bool LinuxFileManager::itemExists(const FilePath& path) const
{
    struct stat info;
    if (path.containsNul())
        return false;
    if (::lstat(path.native().constData(), &info) == 0)
        return true;
    // "link/" names what the link points to; a dangling link is still there to be removed.
    return endsWithSlash(path) && existsWithoutFollowing(path.parent().child(path.nativeName()).native().constData());
}

bool LinuxFileManager::isDirectory(const FilePath& path) const
{
    struct stat info;
    return !path.containsNul() && ::stat(path.native().constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileResult<std::string> LinuxFileManager::readFile(const FilePath& path, const CancelCheck& cancelled, const ReadProgress& progressed) const
{
    if (path.containsNul())
        return FileError::nulInPath();
    const auto notRegular = [] { return FileError{QStringLiteral("Not a regular file")}; };
    // Checked before the open: opening a device can have effects of its own, and opening a pipe
    // for reading waits for a writer.
    struct stat info;
    if (::stat(path.native().constData(), &info) != 0)
        return lastError();
    if (S_ISDIR(info.st_mode))
        return errorFromErrno(EISDIR);
    if (!S_ISREG(info.st_mode))
        return notRegular();
    FileDescriptor fd(::open(path.native().constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid())
        return lastError();
    // What was opened may have been put there after the check.
    if (::fstat(fd.get(), &info) != 0)
        return lastError();
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? errorFromErrno(EISDIR) : notRegular();
    const auto tooLarge = [](const QString& size) {
        return FileError{QStringLiteral("File too large (%1 bytes; the limit is %2)").arg(size).arg(kMaxReadBytes)};
    };
    if (info.st_size > kMaxReadBytes)
        return tooLarge(QString::number(info.st_size));

    // Sizes of regular files are a good first guess; /proc files report none, so the limit is
    // enforced on what is actually read too.
    constexpr auto kLimit = static_cast<std::size_t>(kMaxReadBytes);
    std::string data(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 64 * 1024, '\0');
    std::size_t used = 0;
    for (;;) {
        if (cancelled && cancelled())
            return errorFromErrno(ECANCELED);
        if (used == data.size()) {
            if (used > kLimit)
                return tooLarge(QStringLiteral("more than %1").arg(kMaxReadBytes));
            data.resize(std::min(used * 2, kLimit + 1));
        }
        const ssize_t got = ::read(fd.get(), data.data() + used, std::min(kFileReadChunk, data.size() - used));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        used += static_cast<std::size_t>(got);
        if (progressed)
            progressed(static_cast<qint64>(used), static_cast<qint64>(info.st_size));
    }
    if (used > kLimit)
        return tooLarge(QStringLiteral("more than %1").arg(kMaxReadBytes));
    data.resize(used);
    return data;
}

FileResult<void> LinuxFileManager::writeFileAtomically(const FilePath& path, const QByteArray& bytes)
{
    if (path.containsNul())
        return FileError::nulInPath();
    return FileReplacement::write(path, bytes);
}

FileResult<void> LinuxFileManager::createDirectory(const FilePath& path, bool withIntermediates)
{
    if (path.containsNul())
        return FileError::nulInPath();
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

FileResult<void> LinuxFileManager::removeItem(const FilePath& path, bool recursive)
{
    if (path.containsNul())
        return FileError::nulInPath();
    ItemInDirectory item;
    if (auto failed = openParent(path, item))
        return *failed;
    struct stat info;
    if (::fstatat(item.directory, item.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    // "file/" names nothing; "link/" is taken as the link, which is removed, never followed.
    if (endsWithSlash(path) && S_ISREG(info.st_mode))
        return errorFromErrno(ENOTDIR);
    return FileTree::remove(item.directory, item.name.constData(), path, recursive);
}

FileResult<void> LinuxFileManager::moveItem(const FilePath& source, const FilePath& destination)
{
    if (source.containsNul() || destination.containsNul())
        return FileError::nulInPath();
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
    if (auto copied = copyItem(source, destination); !copied.ok())
        return copied;
    auto removed = removeItem(source, true);
    if (!removed.ok())
        return FileError{
            QStringLiteral("copied to %1, but the source could not be removed: %2").arg(destination.text(), removed.error().description)};
    return removed;
}

FileResult<void> LinuxFileManager::copyItem(const FilePath& source, const FilePath& destination)
{
    if (source.containsNul() || destination.containsNul())
        return FileError::nulInPath();
    struct stat info;
    if (::lstat(source.native().constData(), &info) != 0)
        return lastError();
    if (existsWithoutFollowing(destination.native().constData()))
        return errorFromErrno(EEXIST);
    if (S_ISDIR(info.st_mode)) {
        // A copy inside its own source would keep finding itself.
        const auto from = FileDescriptor::canonicalPath(source.native());
        const auto into =
            FileDescriptor::canonicalPath(destination.parent().isEmpty() ? QByteArrayLiteral(".") : destination.parent().native());
        if (from && into && (*into == *from || into->startsWith(*from + '/') || *from == "/"))
            return FileError{QStringLiteral("Cannot copy a directory into itself")};
    }
    if (!FileTree::copy(AT_FDCWD, source.native().constData(), AT_FDCWD, destination.native().constData())) {
        const FileError error = lastError();
        // Half a copy is worth nothing and would make a retry fail: what was created goes.
        if (existsWithoutFollowing(destination.native().constData()))
            removeItem(destination, true);
        return error;
    }
    return {};
}

FileResult<DirectoryListing> LinuxFileManager::listDirectory(const FilePath& path, ListingDetail detail) const
{
    if (path.containsNul())
        return FileError::nulInPath();
    FileDescriptor fd(::open(path.native().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
        if (FileDescriptor::isDotOrDotDot(raw->d_name)) {
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

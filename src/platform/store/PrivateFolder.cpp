#include "platform/store/PrivateFolder.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<QString> problemWith(const QString& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(path);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (info.st_uid != ::getuid())
        return QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(info.st_uid);
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return QStringLiteral("%1 is open to other users (mode %2; it must be 0700)")
            .arg(path)
            .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return std::nullopt;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeWhole(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

namespace PrivateFolder {

std::optional<QString> prepare(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (errno != ENOENT)
            return QStringLiteral("cannot inspect %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        // mkdir's mode is narrowed by the umask only, so 0700 stays at most 0700.
        if (::mkdir(native.constData(), S_IRWXU) != 0 && errno != EEXIST)
            return QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        // Another user may have created it between the two calls: look again.
        if (::lstat(native.constData(), &info) != 0)
            return QStringLiteral("cannot inspect %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return problemWith(path, info);
}

bool isPrivate(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && !problemWith(path, info);
}

std::optional<QByteArray> readFile(const QString& folder, const QString& name, qsizetype maxBytes)
{
    if (!isPrivate(folder))
        return std::nullopt;
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<QByteArray> contents;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid()) {
        QByteArray bytes(maxBytes, Qt::Uninitialized);
        ssize_t count;
        do {
            count = ::read(fd, bytes.data(), static_cast<size_t>(maxBytes));
        } while (count < 0 && errno == EINTR);
        if (count >= 0) {
            bytes.truncate(count);
            contents = std::move(bytes);
        }
    }
    ::close(fd);
    return contents;
}

std::optional<QString> writeFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    if (const auto problem = prepare(folder))
        return problem;
    const QString target = folder + QLatin1Char('/') + name;
    QByteArray temporary = QFile::encodeName(target + QStringLiteral(".XXXXXX"));
    // mkstemp makes the file 0600 and never opens one that is already there.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot write in %1: %2").arg(folder, systemError());
    const bool written = writeWhole(fd, bytes);
    const QString writeError = written ? QString() : systemError();
    ::close(fd);
    if (!written || ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        const QString error = written ? systemError() : writeError;
        ::unlink(temporary.constData());
        return QStringLiteral("cannot write %1: %2").arg(target, error);
    }
    return std::nullopt;
}

} // namespace PrivateFolder

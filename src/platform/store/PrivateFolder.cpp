#include "platform/store/PrivateFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
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

} // namespace PrivateFolder

#include "platform/store/LockFilePath.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

QString LockFilePath::problem(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT)
            return {};
        return QStringLiteral("%1 cannot be looked at: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISREG(status.st_mode))
        return {};
    const QString kind = S_ISDIR(status.st_mode) ? QStringLiteral("a folder")
        : S_ISLNK(status.st_mode)                ? QStringLiteral("a symbolic link (not followed)")
        : S_ISFIFO(status.st_mode)               ? QStringLiteral("a FIFO")
                                                 : QStringLiteral("not a regular file");
    return QStringLiteral("%1 is %2, not a lock file").arg(path, kind);
}

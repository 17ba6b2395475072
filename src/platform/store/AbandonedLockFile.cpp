#include "platform/store/AbandonedLockFile.h"

#include "platform/processes/Log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

ZARNEL_LOGGING_CATEGORY(lcLockFiles, "AbandonedLockFile")

namespace {

// A lock file is written within moments of its creation.
constexpr int kAbandonedLockAgeMs = 1000;
constexpr int kHeldLockPollMs = 20;

// Whether a process holds the kernel lock that QLockFile takes on its file while it owns it.
bool isLockedByAProcess(const QString& path)
{
    // Anything but a regular file there is not ours to remove; opening a FIFO would wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return true;
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!locked)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return locked;
}

void removeIfEmptyAndUnheld(const QString& path)
{
    for (;;) {
        const QFileInfo info(path);
        if (!info.exists() || info.isSymLink() || !info.isFile() || info.size() > 0)
            return;
        const qint64 age = info.lastModified().msecsTo(QDateTime::currentDateTime());
        if (age >= kAbandonedLockAgeMs || age < 0) {
            if (!isLockedByAProcess(path) && QFileInfo(path).size() == 0 && QFile::remove(path))
                qCInfo(lcLockFiles, "Removed the lock file %s left by a process that ended while taking it", qPrintable(path));
            return;
        }
        QThread::msleep(kHeldLockPollMs);
    }
}

} // namespace

void AbandonedLockFile::remove(const QString& path)
{
    removeIfEmptyAndUnheld(path + QStringLiteral(".rmlock"));
    removeIfEmptyAndUnheld(path);
}

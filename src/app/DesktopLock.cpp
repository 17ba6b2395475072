#include "app/DesktopLock.h"

#include "platform/store/AbandonedLockFile.h"
#include "platform/store/LockFilePath.h"

#include <QDir>

namespace {

QString lockPath(const QString& folder)
{
    return QDir(folder).filePath(QString::fromLatin1(DesktopLock::kFileName));
}

} // namespace

DesktopLock::DesktopLock(const QString& folder)
    : m_lock(lockPath(folder))
{
    // Never stale by age: the desktop instance runs for days. A holder that is gone is still
    // recognised, by its process id.
    m_lock.setStaleLockTime(0);
}

bool DesktopLock::tryAcquire()
{
    // A short wait: a client-launched process looking whether a desktop instance runs holds the
    // lock for a moment, which must not turn a starting desktop instance away.
    constexpr int kWaitMs = 300;
    if (m_lock.isLocked())
        return true;
    m_problem = LockFilePath::problem(m_lock.fileName());
    if (!m_problem.isEmpty())
        return false;
    AbandonedLockFile::remove(m_lock.fileName());
    return m_lock.tryLock(kWaitMs);
}

QString DesktopLock::problemAt(const QString& folder)
{
    return LockFilePath::problem(lockPath(folder));
}

bool DesktopLock::isHeldElsewhere(const QString& folder)
{
    if (!problemAt(folder).isEmpty())
        return false;
    AbandonedLockFile::remove(lockPath(folder));
    DesktopLock probe(folder);
    if (probe.m_lock.tryLock(0)) {
        probe.m_lock.unlock();
        return false;
    }
    return probe.m_lock.error() == QLockFile::LockFailedError;
}

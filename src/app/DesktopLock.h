#pragma once

#include <QLockFile>
#include <QString>

// The mark of the one desktop instance a user has: a lock file in the control folder. Two
// launches at once cannot both take it, and a holder that died leaves nothing that blocks the
// next one.
class DesktopLock {
public:
    static constexpr const char* kFileName = "desktop.lock";

    explicit DesktopLock(const QString& folder);

    // Takes the lock for as long as this object lives; false when a live process holds it, or
    // when something other than a lock file is at its path (then problem() says what).
    bool tryAcquire();
    bool isAcquired() const { return m_lock.isLocked(); }
    const QString& problem() const { return m_problem; }

    // Whether another live process holds the lock now (looks without keeping it, and without
    // opening anything that is not a lock file).
    static bool isHeldElsewhere(const QString& folder);
    // Why no desktop instance can take the lock in `folder`, or empty.
    static QString problemAt(const QString& folder);

private:
    QLockFile m_lock;
    QString m_problem;
};

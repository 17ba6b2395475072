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

    // Takes the lock for as long as this object lives; false when a live process holds it.
    bool tryAcquire();
    bool isAcquired() const { return m_lock.isLocked(); }

    // Whether another live process holds the lock now (looks without keeping it).
    static bool isHeldElsewhere(const QString& folder);

private:
    QLockFile m_lock;
};

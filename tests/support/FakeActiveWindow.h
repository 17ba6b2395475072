#pragma once

#include "platform/session/ActiveWindow.h"

#include <atomic>

// A focused window owned by whichever process the test names (none at first).
class FakeActiveWindow : public ActiveWindow {
public:
    void setOwner(qint64 pid) { m_owner = pid; }
    std::optional<qint64> owningProcess() const override
    {
        const qint64 owner = m_owner;
        return owner > 0 ? std::optional<qint64>(owner) : std::nullopt;
    }

private:
    std::atomic<qint64> m_owner{0};
};

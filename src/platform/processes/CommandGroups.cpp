#include "platform/processes/CommandGroups.h"

#include <cerrno>
#include <csignal>
#include <mutex>
#include <set>
#include <thread>

namespace CommandGroups {

namespace {

struct Registry {
    std::mutex mutex;
    std::set<pid_t> groups;
};

// Never destroyed: threads that watch commands left running may still use it while the
// program exits.
Registry& registry()
{
    static Registry* const instance = new Registry;
    return *instance;
}

std::set<pid_t> snapshot()
{
    Registry& groups = registry();
    const std::lock_guard lock(groups.mutex);
    return groups.groups;
}

} // namespace

void add(pid_t group)
{
    Registry& groups = registry();
    const std::lock_guard lock(groups.mutex);
    groups.groups.insert(group);
}

void remove(pid_t group)
{
    Registry& groups = registry();
    const std::lock_guard lock(groups.mutex);
    groups.groups.erase(group);
}

bool hasMembers(pid_t group)
{
    return ::kill(-group, 0) == 0 || errno == EPERM;
}

void endAll(std::chrono::milliseconds grace)
{
    for (const pid_t group : snapshot())
        ::kill(-group, SIGTERM);
    const auto killAt = std::chrono::steady_clock::now() + grace;
    for (;;) {
        bool anyLeft = false;
        for (const pid_t group : snapshot())
            anyLeft = anyLeft || hasMembers(group);
        if (!anyLeft)
            return;
        if (std::chrono::steady_clock::now() >= killAt)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (const pid_t group : snapshot())
        ::kill(-group, SIGKILL);
}

} // namespace CommandGroups

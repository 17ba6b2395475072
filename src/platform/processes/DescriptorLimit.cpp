#include "platform/processes/DescriptorLimit.h"

#include "platform/processes/Log.h"

#include <cerrno>
#include <limits>

#include <dirent.h>
#include <sys/resource.h>

ZARNEL_LOGGING_CATEGORY(lcDescriptors, "DescriptorLimit")

namespace DescriptorLimit {

void raiseToHardLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    const rlim_t soft = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        qCWarning(lcDescriptors, "could not raise the open-file limit from %llu", static_cast<unsigned long long>(soft));
}

std::optional<qint64> available()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return std::nullopt;
    if (limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<qint64>::max();
    DIR* open = ::opendir("/proc/self/fd");
    if (!open)
        return errno == EMFILE || errno == ENFILE ? std::optional<qint64>(0) : std::nullopt;
    // "." and "..", and the descriptor this listing holds, are no descriptors of ours.
    qint64 count = -3;
    while (::readdir(open))
        ++count;
    ::closedir(open);
    return static_cast<qint64>(limit.rlim_cur) - count;
}

} // namespace DescriptorLimit

#include "platform/processes/StandardInput.h"

#include <sys/stat.h>
#include <unistd.h>

namespace StandardInput {

StandardInputKind kind(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return StandardInputKind::Closed;
    if (::isatty(fd) == 1)
        return StandardInputKind::Terminal;
    if (S_ISFIFO(status.st_mode))
        return StandardInputKind::Pipe;
    if (S_ISSOCK(status.st_mode))
        return StandardInputKind::Socket;
    if (S_ISREG(status.st_mode))
        return StandardInputKind::File;
    if (S_ISCHR(status.st_mode)) {
        struct stat null {};
        if (::stat("/dev/null", &null) == 0 && null.st_rdev == status.st_rdev)
            return StandardInputKind::NullDevice;
    }
    return StandardInputKind::Other;
}

} // namespace StandardInput

// A bare control-socket client for the tests that run it as another user: connects to the
// socket named on the command line, sends one status request, and prints whatever comes back
// before the connection ends (or three seconds pass). Exit status 2 when it cannot connect.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 || std::strlen(argv[1]) >= sizeof(sockaddr_un::sun_path))
        return 64;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, argv[1]);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        return 2;
    }
    const char request[] = "{\"v\":1,\"id\":1,\"command\":\"status\"}\n";
    // The process may have closed the connection already: that is no reason to die of SIGPIPE.
    (void)!::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
    pollfd waiting{fd, POLLIN, 0};
    char buffer[4096];
    while (::poll(&waiting, 1, 3000) > 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        std::fwrite(buffer, 1, static_cast<size_t>(got), stdout);
    }
    return 0;
}

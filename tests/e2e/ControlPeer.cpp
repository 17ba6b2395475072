// A bare control-socket client for the tests that run it as another user or as a confined
// command: connects to the socket named on the command line, sends one status request with the
// token of the socket's folder when it can read it, and prints what comes back until the answer's
// line ends, the connection ends or three seconds pass. Exit status 2 when it cannot connect.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

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
    std::string folder = argv[1];
    folder.erase(folder.find_last_of('/') + 1);
    std::string token;
    if (std::FILE* file = std::fopen((folder + "token").c_str(), "r")) {
        char text[65] = {};
        if (std::fscanf(file, "%64s", text) == 1)
            token = text;
        std::fclose(file);
    }
    const std::string request = "{\"v\":1,\"id\":1,\"command\":\"status\",\"token\":\"" + token + "\"}\n";
    // The process may have closed the connection already: that is no reason to die of SIGPIPE.
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    pollfd waiting{fd, POLLIN, 0};
    char buffer[4096];
    while (::poll(&waiting, 1, 3000) > 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        std::fwrite(buffer, 1, static_cast<size_t>(got), stdout);
        // One request, one answer.
        if (buffer[got - 1] == '\n')
            break;
    }
    return 0;
}

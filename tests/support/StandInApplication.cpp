// A stand-in for a desktop application in the tests. It records how it was started in
// <record-directory>/<its file name>.record (its pid on the first line, then each argument
// followed by a NUL), then waits to be ended.
//
// Usage: <program> <record-directory> [--ignore-term] [--fail] [--fork-helper] [arguments...]
//   --ignore-term  ignore SIGTERM (set before the record appears)
//   --fail         exit at once with status 3
//   --fork-helper  start a copy of itself as a helper process first

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string directory = argv[1];
    int next = 2;
    for (; next < argc; ++next) {
        if (std::strcmp(argv[next], "--ignore-term") == 0)
            std::signal(SIGTERM, SIG_IGN);
        else if (std::strcmp(argv[next], "--fail") == 0)
            return 3;
        else if (std::strcmp(argv[next], "--fork-helper") == 0) {
            if (fork() == 0) {
                for (;;)
                    pause();
            }
        } else
            break;
    }

    std::string name = argv[0];
    if (const auto slash = name.rfind('/'); slash != std::string::npos)
        name = name.substr(slash + 1);
    const std::string path = directory + "/" + name + ".record";
    const std::string partial = path + ".partial";
    FILE* file = std::fopen(partial.c_str(), "w");
    if (!file)
        return 4;
    std::fprintf(file, "%d\n", int(getpid()));
    for (int i = next; i < argc; ++i) {
        std::fputs(argv[i], file);
        std::fputc('\0', file);
    }
    std::fclose(file);
    std::rename(partial.c_str(), path.c_str());

    for (;;)
        pause();
}

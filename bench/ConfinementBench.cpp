// What confining the assistant to a folder costs: execute_command `echo hello` and read_file of
// 1 MiB, each through a zarnel confined to one folder and an unconfined one, in turn.

#include "StdioBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <iostream>

using namespace bench;

namespace {

constexpr int kWarmUp = 20;
constexpr int kRuns = 300;

// A zarnel of its own HOME with a folder "work" holding a 1 MiB file, confined to that folder
// or not.
struct Server {
    explicit Server(bool confined)
    {
        const QString work = home.path() + QStringLiteral("/work");
        QDir().mkpath(work);
        QFile big(work + QStringLiteral("/big.txt"));
        if (big.open(QIODevice::WriteOnly))
            big.write(QByteArray(1024 * 1024, 'x'));
        if (confined) {
            QFile settings(home.path() + QStringLiteral("/config/tarvonic/zarnel.conf"));
            if (settings.open(QIODevice::Append))
                settings.write("allowedFolders=" + work.toUtf8() + "\n");
        }
        zarnel = std::make_unique<ChildProcess>(zarnelPath(), std::vector<std::string>{}, home.environment());
        zarnel->writeLine(initializeLine(0));
        zarnel->readLine();
        folder = work.toStdString();
    }

    // The time of one call in microseconds; negative when the answer lacks `expected`.
    double call(long id, const std::string& params, const std::string& expected)
    {
        const double start = now();
        zarnel->writeLine(requestLine(id, "tools/call", params));
        const std::string line = zarnel->readLine();
        const double took = (now() - start) * 1e6;
        if (line.find(expected) == std::string::npos) {
            note("unexpected answer: " + line.substr(0, 300));
            return -1;
        }
        return took;
    }

    ZarnelHome home;
    std::unique_ptr<ChildProcess> zarnel;
    std::string folder;
};

// Calls each server in turn with its own arguments; reports the medians side by side.
void compare(const std::string& label, Server& confined, const std::string& confinedParams, Server& unconfined,
             const std::string& unconfinedParams, const std::string& expected)
{
    static long nextId = 1;
    std::vector<double> inside;
    std::vector<double> free;
    for (int i = 0; i < kWarmUp + kRuns; ++i, ++nextId) {
        const double a = confined.call(nextId, confinedParams, expected);
        const double b = unconfined.call(nextId, unconfinedParams, expected);
        if (a < 0 || b < 0)
            return;
        if (i >= kWarmUp) {
            inside.push_back(a);
            free.push_back(b);
        }
    }
    report(label + ", median", median(inside), "unconfined", median(free), "us");
    std::cout << label << ", median cost of confinement: " << median(inside) - median(free) << " us" << std::endl;
}

std::string toolCall(const std::string& name, const std::string& argumentsJson)
{
    return R"({"name":")" + name + R"(","arguments":)" + argumentsJson + "}";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Server confined(true);
    Server unconfined(false);
    const auto echo = [](const Server& server) {
        return toolCall("execute_command", R"({"command":"echo hello","working_directory":")" + server.folder + R"("})");
    };
    compare("execute_command echo hello", confined, echo(confined), unconfined, echo(unconfined), "Output:\\nhello\\n");
    const auto read = [](const Server& server) { return toolCall("read_file", R"({"path":")" + server.folder + R"(/big.txt"})"); };
    compare("read_file 1 MiB", confined, read(confined), unconfined, read(unconfined), "xxxxxxxx");
    confined.zarnel->finish();
    unconfined.zarnel->finish();
    return 0;
}

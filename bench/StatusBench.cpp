// What asking every running zarnel costs: `zarnel status` against 1 and against 10 running
// processes, each started the way a client starts it, beside `/bin/true` started the same way
// (the least any command can cost). Target: under 30 ms with 10 processes.

#include "StdioBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <memory>

using namespace bench;

namespace {

constexpr int kWarmUp = 5;
constexpr int kRuns = 60;

// The servers' own control folder, apart from the user's real one.
QProcessEnvironment privateEnvironment(const ZarnelHome& home)
{
    QProcessEnvironment environment = home.environment();
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}

std::vector<double> runs(const std::string& program, const std::vector<std::string>& arguments, const QProcessEnvironment& environment,
                         const std::string& expected)
{
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        const double start = now();
        ChildProcess command(program, arguments, environment);
        const std::string output = command.readToEnd();
        command.finish();
        if (i >= kWarmUp)
            samples.push_back((now() - start) * 1e3);
        if (output.find(expected) == std::string::npos) {
            note("unexpected output: " + output);
            break;
        }
    }
    return samples;
}

void measure(int processes)
{
    ZarnelHome home;
    const QProcessEnvironment environment = privateEnvironment(home);
    std::vector<std::unique_ptr<ChildProcess>> servers;
    for (int i = 0; i < processes; ++i) {
        auto server = std::make_unique<ChildProcess>(zarnelPath(), std::vector<std::string>{}, environment);
        server->writeLine(initializeLine(0));
        server->readLine();
        servers.push_back(std::move(server));
    }
    const std::string expected = "running with " + std::to_string(processes) + " connections";
    const auto ours = runs(zarnelPath(), {"status"}, environment, expected);
    const auto theirs = runs("/bin/true", {}, environment, "");
    report("zarnel status with " + std::to_string(processes) + " processes, median", median(ours), "/bin/true", median(theirs), "ms");
    for (auto& server : servers)
        server->finish();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    measure(1);
    measure(10);
    return 0;
}

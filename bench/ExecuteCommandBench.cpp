// What running a shell command through zarnel costs: the execute_command round trip of
// `echo hello` over stdio, beside starting `/bin/sh -c 'echo hello'` directly and reading its
// output (the least any client could pay for the same command).

#include "StdioBench.h"

#include <QCoreApplication>

using namespace bench;

namespace {

constexpr int kWarmUp = 20;
constexpr int kRuns = 300;

std::vector<double> zarnelRoundTrips()
{
    ZarnelHome home;
    ChildProcess zarnel(zarnelPath(), {}, home.environment());
    zarnel.writeLine(initializeLine(0));
    zarnel.readLine();
    const std::string params = R"({"name":"execute_command","arguments":{"command":"echo hello"}})";
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        const double start = now();
        zarnel.writeLine(requestLine(i + 1, "tools/call", params));
        const std::string line = zarnel.readLine();
        if (i >= kWarmUp)
            samples.push_back((now() - start) * 1e6);
        if (line.find("Output:\\nhello\\n") == std::string::npos) {
            note("unexpected answer: " + line);
            break;
        }
    }
    zarnel.finish();
    return samples;
}

std::vector<double> plainShellRuns()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        const double start = now();
        ChildProcess shell("/bin/sh", {"-c", "echo hello"}, environment);
        shell.readLine();
        shell.finish();
        if (i >= kWarmUp)
            samples.push_back((now() - start) * 1e6);
    }
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto ours = zarnelRoundTrips();
    const auto theirs = plainShellRuns();
    report("execute_command echo hello, median", median(ours), "/bin/sh -c", median(theirs), "us");
    report("execute_command echo hello, p99", percentile(ours, 0.99), "/bin/sh -c", percentile(theirs, 0.99), "us");
    return 0;
}

// How fast zarnel speaks the protocol: start-up to the initialize answer, the tools/list round
// trip, pipelined throughput and resident memory, each beside a C program that answers every
// line with a fixed response of the same size (the transport's physical limit).

#include "StdioBench.h"

#include <QCoreApplication>
#include <QTemporaryFile>

#include <iostream>
#include <thread>

using namespace bench;

namespace {

constexpr int kStartRuns = 25;
constexpr int kRoundTrips = 5000;
constexpr int kPipelined = 20000;
constexpr int kPipelineRuns = 5;

struct Program {
    std::string name;
    std::string path;
    std::vector<std::string> arguments;
};

double startToInitialize(const Program& program, const QProcessEnvironment& env)
{
    std::vector<double> samples;
    for (int run = 0; run < kStartRuns; ++run) {
        const double start = now();
        ChildProcess child(program.path, program.arguments, env);
        child.writeLine(initializeLine(1));
        child.readLine();
        samples.push_back((now() - start) * 1000);
        child.finish();
    }
    return median(samples);
}

// A tools/list request of a 2024-11-05 session (after its initialize) or a stateless
// 2026-07-28 one (no initialize; the envelope in every request).
enum class Era { Session20241105, Stateless20260728 };

std::string toolsListLine(Era era, long id)
{
    if (era == Era::Session20241105)
        return requestLine(id, "tools/list");
    return requestLine(
        id, "tools/list",
        R"({"_meta":{"io.modelcontextprotocol/protocolVersion":"2026-07-28","io.modelcontextprotocol/clientCapabilities":{},)"
        R"("io.modelcontextprotocol/clientInfo":{"name":"bench","version":"1"}}})");
}

std::pair<double, double> roundTrip(const Program& program, const QProcessEnvironment& env, Era era = Era::Session20241105)
{
    ChildProcess child(program.path, program.arguments, env);
    if (era == Era::Session20241105) {
        child.writeLine(initializeLine(0));
        child.readLine();
    }
    std::vector<double> samples;
    for (int i = 0; i < kRoundTrips + 200; ++i) {
        const double start = now();
        child.writeLine(toolsListLine(era, i + 1));
        child.readLine();
        if (i >= 200)
            samples.push_back((now() - start) * 1e6);
    }
    child.finish();
    return {median(samples), percentile(samples, 0.99)};
}

struct Throughput {
    double requestsPerSecond = 0;
    long peakKiB = 0;
};

Throughput pipelined(const Program& program, const QProcessEnvironment& env)
{
    std::string batch;
    for (int i = 0; i < kPipelined; ++i)
        batch += requestLine(i + 1, "tools/list") + "\n";
    std::vector<double> rates;
    long peak = 0;
    for (int run = 0; run < kPipelineRuns; ++run) {
        ChildProcess child(program.path, program.arguments, env);
        child.writeLine(initializeLine(0));
        child.readLine();
        const double start = now();
        std::thread writer([&] { child.write(batch); });
        const long answered = child.skipLines(kPipelined);
        const double elapsed = now() - start;
        writer.join();
        if (answered != kPipelined)
            std::cerr << program.name << ": only " << answered << " answers" << std::endl;
        rates.push_back(answered / elapsed);
        peak = std::max(peak, child.peakResidentKiB());
        child.finish();
    }
    return {median(rates), peak};
}

long residentAfterStart(const Program& program, const QProcessEnvironment& env)
{
    ChildProcess child(program.path, program.arguments, env);
    child.writeLine(initializeLine(1));
    child.readLine();
    child.writeLine(requestLine(2, "tools/list"));
    child.readLine();
    const long kib = child.residentKiB();
    child.finish();
    return kib;
}

std::string responseFile(const std::string& line)
{
    static QTemporaryFile file;
    file.open();
    file.resize(0);
    file.write(QByteArray::fromStdString(line + "\n"));
    file.flush();
    return file.fileName().toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ZarnelHome home;
    const QProcessEnvironment env = home.environment();
    const Program zarnel{"zarnel", zarnelPath(), {}};

    // The echo program answers with exactly the bytes zarnel answers with.
    ChildProcess probe(zarnel.path, {}, env);
    probe.writeLine(initializeLine(1));
    const std::string initializeAnswer = probe.readLine();
    probe.writeLine(requestLine(2, "tools/list"));
    const std::string listAnswer = probe.readLine();
    probe.finish();
    note("tools/list response: " + std::to_string(listAnswer.size()) + " bytes");

    const Program echoInitialize{"echo", echoServerPath(), {responseFile(initializeAnswer)}};
    report("start to initialize response (median of " + std::to_string(kStartRuns) + ")", startToInitialize(zarnel, env), "echo",
           startToInitialize(echoInitialize, env), "ms");

    const Program echoList{"echo", echoServerPath(), {responseFile(listAnswer)}};
    const auto ours = roundTrip(zarnel, env);
    const auto theirs = roundTrip(echoList, env);
    report("tools/list round trip p50", ours.first, "echo", theirs.first, "us");
    report("tools/list round trip p99", ours.second, "echo", theirs.second, "us");

    // The same list for a stateless client: its envelope is checked and its result dressed on
    // every request.
    const auto stateless = roundTrip(zarnel, env, Era::Stateless20260728);
    const auto session = roundTrip(zarnel, env, Era::Session20241105);
    report("tools/list round trip p50, 2026-07-28 client", stateless.first, "2024-11-05 client", session.first, "us");
    report("tools/list round trip p99, 2026-07-28 client", stateless.second, "2024-11-05 client", session.second, "us");

    const auto ourRate = pipelined(zarnel, env);
    const auto theirRate = pipelined(echoList, env);
    report("pipelined tools/list (" + std::to_string(kPipelined) + " at once, median of " + std::to_string(kPipelineRuns) + ")",
           ourRate.requestsPerSecond, "echo", theirRate.requestsPerSecond, "req/s");

    report("resident memory after start-up", residentAfterStart(zarnel, env) / 1024.0, "echo", residentAfterStart(echoList, env) / 1024.0,
           "MiB");
    report("peak resident memory while pipelining", ourRate.peakKiB / 1024.0, "echo", theirRate.peakKiB / 1024.0, "MiB");
    return 0;
}

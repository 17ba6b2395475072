// How fast zarnel speaks the protocol: start-up to the initialize answer, the tools/list round
// trip, pipelined throughput and resident memory, each beside a C program that answers every
// line with a fixed response of the same size (the transport's physical limit); the start also
// beside the same program written with Qt (the floor of any Qt program).

#include "StdioBench.h"

#include <QCoreApplication>
#include <QTemporaryFile>

#include <sched.h>

#include <array>
#include <iostream>
#include <memory>
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

// The median start of each program, their runs taken in turn so that a busy moment of the
// machine weighs on all of them alike.
std::vector<double> startToInitialize(const std::vector<Program>& programs, const QProcessEnvironment& env)
{
    std::vector<std::vector<double>> samples(programs.size());
    for (int run = 0; run < kStartRuns; ++run) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const double start = now();
            ChildProcess child(programs[p].path, programs[p].arguments, env);
            child.writeLine(initializeLine(1));
            child.readLine();
            samples[p].push_back((now() - start) * 1000);
            child.finish();
        }
    }
    std::vector<double> medians;
    for (const auto& s : samples)
        medians.push_back(median(s));
    return medians;
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

struct Latency {
    double p50 = 0;
    double p99 = 0;
};

// Keeps this process, and the children it starts meanwhile, on the processor it runs on.
class OneProcessor {
public:
    OneProcessor()
    {
        sched_getaffinity(0, sizeof(m_before), &m_before);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof(one), &one);
    }
    ~OneProcessor() { sched_setaffinity(0, sizeof(m_before), &m_before); }
    OneProcessor(const OneProcessor&) = delete;
    OneProcessor& operator=(const OneProcessor&) = delete;

private:
    cpu_set_t m_before{};
};

// Round trips to two programs taken in turn, one request each, all on one processor. Waking a
// process on another processor costs what the machine makes it cost: in a virtual machine an idle
// processor takes 40-70 us to wake, one on the same processor a few, and which of the two a
// child got decided the figures (the same program measured 31 and 114 us in one run).
std::pair<Latency, Latency> roundTrips(const Program& first, Era firstEra, const Program& second, Era secondEra,
                                       const QProcessEnvironment& env)
{
    const OneProcessor pinned;
    const std::array<Era, 2> eras = {firstEra, secondEra};
    std::array<std::unique_ptr<ChildProcess>, 2> children = {std::make_unique<ChildProcess>(first.path, first.arguments, env),
                                                             std::make_unique<ChildProcess>(second.path, second.arguments, env)};
    for (std::size_t c = 0; c < 2; ++c) {
        if (eras[c] == Era::Session20241105) {
            children[c]->writeLine(initializeLine(0));
            children[c]->readLine();
        }
    }
    std::array<std::vector<double>, 2> samples;
    for (int i = 0; i < kRoundTrips + 200; ++i) {
        for (std::size_t c = 0; c < 2; ++c) {
            const double start = now();
            children[c]->writeLine(toolsListLine(eras[c], i + 1));
            children[c]->readLine();
            if (i >= 200)
                samples[c].push_back((now() - start) * 1e6);
        }
    }
    for (auto& child : children)
        child->finish();
    const auto latency = [](const std::vector<double>& s) { return Latency{median(s), percentile(s, 0.99)}; };
    return {latency(samples[0]), latency(samples[1])};
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

    // The Qt echo is the floor for any Qt program: what zarnel takes beyond it is its own.
    const std::string initializeFile = responseFile(initializeAnswer);
    const Program echoInitialize{"echo", echoServerPath(), {initializeFile}};
    const Program qtEchoInitialize{"Qt echo", qtEchoPath(), {initializeFile}};
    const std::vector<double> starts = startToInitialize({zarnel, echoInitialize, qtEchoInitialize}, env);
    const std::string startLabel = "start to initialize response (median of " + std::to_string(kStartRuns) + ")";
    report(startLabel, starts[0], echoInitialize.name, starts[1], "ms");
    compare(startLabel, qtEchoInitialize.name, starts[2], echoInitialize.name, starts[1], "ms");
    report(startLabel, starts[0], qtEchoInitialize.name, starts[2], "ms");

    const Program echoList{"echo", echoServerPath(), {responseFile(listAnswer)}};
    const auto [ours, theirs] = roundTrips(zarnel, Era::Session20241105, echoList, Era::Session20241105, env);
    report("tools/list round trip p50", ours.p50, "echo", theirs.p50, "us");
    report("tools/list round trip p99", ours.p99, "echo", theirs.p99, "us");

    // The same list for a stateless client: its envelope is checked and its result dressed on
    // every request.
    const auto [stateless, session] = roundTrips(zarnel, Era::Stateless20260728, zarnel, Era::Session20241105, env);
    report("tools/list round trip p50, 2026-07-28 client", stateless.p50, "2024-11-05 client", session.p50, "us");
    report("tools/list round trip p99, 2026-07-28 client", stateless.p99, "2024-11-05 client", session.p99, "us");

    const auto ourRate = pipelined(zarnel, env);
    const auto theirRate = pipelined(echoList, env);
    report("pipelined tools/list (" + std::to_string(kPipelined) + " at once, median of " + std::to_string(kPipelineRuns) + ")",
           ourRate.requestsPerSecond, "echo", theirRate.requestsPerSecond, "req/s");

    report("resident memory after start-up", residentAfterStart(zarnel, env) / 1024.0, "echo", residentAfterStart(echoList, env) / 1024.0,
           "MiB");
    report("peak resident memory while pipelining", ourRate.peakKiB / 1024.0, "echo", theirRate.peakKiB / 1024.0, "MiB");
    return 0;
}

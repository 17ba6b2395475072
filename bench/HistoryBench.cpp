// What keeping the history costs: execute_command "true" round trips with recording on and
// off, side by side in one run (the calls alternate between the two processes, so that both
// see the same machine), and a filtered query (one tool, one week) over a million records.

#include "StdioBench.h"

#include "state/HistoryStore.h"

#include <QCoreApplication>
#include <QFile>

using namespace bench;

namespace {

constexpr int kWarmUp = 30;
constexpr int kRuns = 600;
constexpr int kRecords = 1'000'000;
constexpr int kQueries = 50;
const char* const kTools[] = {"execute_command", "read_file",     "write_file",         "list_directory",   "search_files",
                              "get_clipboard",   "set_clipboard", "capture_screenshot", "open_application", "system_info"};

void setHistoryDays(const ZarnelHome& home, int days)
{
    QFile file(home.path() + QStringLiteral("/config/tarvonic/zarnel.conf"));
    if (file.open(QIODevice::Append))
        file.write(QByteArray("historyDays=") + QByteArray::number(days) + '\n');
}

void roundTrips()
{
    ZarnelHome recordingHome;
    ZarnelHome silentHome;
    setHistoryDays(silentHome, 0);
    ChildProcess recording(zarnelPath(), {}, recordingHome.environment());
    ChildProcess silent(zarnelPath(), {}, silentHome.environment());
    std::vector<double> on;
    std::vector<double> off;
    const std::string params = R"({"name":"execute_command","arguments":{"command":"true"}})";
    for (ChildProcess* zarnel : {&recording, &silent}) {
        zarnel->writeLine(initializeLine(0));
        zarnel->readLine();
    }
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        // Which goes first alternates too.
        ChildProcess* order[] = {i % 2 ? &recording : &silent, i % 2 ? &silent : &recording};
        for (ChildProcess* zarnel : order) {
            const double start = now();
            zarnel->writeLine(requestLine(i + 1, "tools/call", params));
            zarnel->readLine();
            if (i >= kWarmUp)
                (zarnel == &recording ? on : off).push_back((now() - start) * 1e6);
        }
    }
    recording.finish();
    silent.finish();
    double sumOn = 0;
    double sumOff = 0;
    for (double each : on)
        sumOn += each;
    for (double each : off)
        sumOff += each;
    report("execute_command true, median", median(on), "recording off", median(off), "us");
    report("execute_command true, p99", percentile(on, 0.99), "recording off", percentile(off, 0.99), "us");
    report("execute_command true, total", sumOn / 1000, "recording off", sumOff / 1000, "ms");
    HistoryStore store(recordingHome.path() + QStringLiteral("/state/zarnel/history.sqlite"));
    store.open(QDateTime::currentDateTimeUtc());
    note("calls kept with recording on: " + std::to_string(store.count({})) + " of " + std::to_string(kWarmUp + kRuns));
}

void filteredQuery()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path() + QStringLiteral("/zarnel/history.sqlite"));
    const QDateTime newest = QDateTime::currentDateTimeUtc();
    store.open(newest);
    // A million calls, one every 2.6 seconds: a month.
    QList<HistoryRecord> records;
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        HistoryRecord record;
        record.time = newest.addMSecs(-2600LL * i);
        record.processId = 1000 + i % 7;
        record.clientName = i % 3 ? QStringLiteral("desk-assistant") : QStringLiteral("code-helper");
        record.clientVersion = QStringLiteral("1.0");
        record.revision = QStringLiteral("2025-11-25");
        record.tool = QLatin1String(kTools[i % 10]);
        record.arguments = QStringLiteral("{\"path\":\"/home/user/project/file-%1.txt\"}").arg(i);
        record.outcome = i % 13 ? QStringLiteral("ok") : QStringLiteral("error");
        record.durationMs = 1.0 + i % 9;
        records.append(std::move(record));
    }
    const double writeStart = now();
    store.append(records);
    note("a million records written in one transaction: " + std::to_string(now() - writeStart) + " s");
    records.clear();

    HistoryFilter filter;
    filter.tool = QStringLiteral("read_file");
    filter.since = newest.addDays(-7);
    std::vector<double> pages;
    std::vector<double> counts;
    for (int i = 0; i < kQueries; ++i) {
        double start = now();
        const auto page = store.find(filter, 50);
        pages.push_back((now() - start) * 1e3);
        start = now();
        store.count(filter);
        counts.push_back((now() - start) * 1e3);
        if (page.size() != 50)
            note("unexpected page of " + std::to_string(page.size()));
    }
    report("one tool, one week, newest 50 of 1e6, median", median(pages), "its count", median(counts), "ms");
    filter.errorsOnly = true;
    filter.client = QStringLiteral("code-helper");
    std::vector<double> narrow;
    for (int i = 0; i < kQueries; ++i) {
        const double start = now();
        store.find(filter, 50);
        narrow.push_back((now() - start) * 1e3);
    }
    report("one tool, one client, errors, one week, median", median(narrow), "one tool, one week", median(pages), "ms");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    roundTrips();
    filteredQuery();
    return 0;
}

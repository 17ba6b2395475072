// What recording costs, what a save costs with the cross-process merge against writing the
// same six keys plainly (the baseline), and what loading the saved figures costs a process's start.
#include "platform/processes/Clock.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/StatisticsManager.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const int kToolCount = 18;

QString toolName(int i)
{
    return QStringLiteral("tool_%1").arg(i);
}

// A store in a temporary folder with a realistic amount already saved in it.
struct SavedStatistics {
    SavedStatistics()
    {
        for (int i = 0; i < 200; ++i)
            statistics.recordToolCall(toolName(i % kToolCount), 0.01, i % 7 != 0);
        for (int i = 0; i < 50; ++i)
            statistics.recordConnection(QStringLiteral("client"), QString::number(i));
        statistics.saveNow();
    }
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    SystemClock clock;
    StatisticsManager statistics{store, clock};
};

void recordToolCall(benchmark::State& state)
{
    SavedStatistics saved;
    StatisticsManager& statistics = saved.statistics;
    int i = 0;
    for (auto _ : state)
        statistics.recordToolCall(toolName(i++ % kToolCount), 0.01, true);
}

void saveMerged(benchmark::State& state)
{
    SavedStatistics saved;
    StatisticsManager& statistics = saved.statistics;
    int i = 0;
    for (auto _ : state) {
        statistics.recordToolCall(toolName(i++ % kToolCount), 0.01, true);
        statistics.saveNow();
    }
}

// The same keys and bytes written without the lock, the re-read and the merge.
void savePlain(benchmark::State& state)
{
    SavedStatistics saved;
    QSettingsPreferencesStore& store = saved.store;
    const QByteArray usage = QSettings(store.fileName(), QSettings::IniFormat).value("stats_toolUsage").toByteArray();
    const QByteArray connections = QSettings(store.fileName(), QSettings::IniFormat).value("stats_connectionHistory").toByteArray();
    qint64 n = 0;
    for (auto _ : state) {
        ++n;
        store.writeInteger(QStringLiteral("stats_totalRequests"), n);
        store.writeInteger(QStringLiteral("stats_totalToolCalls"), n);
        store.writeInteger(QStringLiteral("stats_totalErrors"), n);
        store.writeDouble(QStringLiteral("stats_totalUptime"), static_cast<double>(n));
        store.writeData(QStringLiteral("stats_toolUsage"), usage);
        store.writeData(QStringLiteral("stats_connectionHistory"), connections);
        store.sync();
    }
}

// A process's start: its store opened on the saved file and the statistics read from it.
void loadSaved(benchmark::State& state)
{
    SavedStatistics saved;
    const QString path = saved.store.fileName();
    for (auto _ : state) {
        QSettingsPreferencesStore store(path);
        StatisticsManager statistics(store, saved.clock);
        benchmark::DoNotOptimize(statistics.statistics().connectionHistory.size());
    }
}

BENCHMARK(recordToolCall);
BENCHMARK(loadSaved)->Unit(benchmark::kMicrosecond);
BENCHMARK(saveMerged)->Unit(benchmark::kMicrosecond);
BENCHMARK(savePlain)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The activity-log page with a long log: one keystroke of search (the filtering and the repaint
// of the shown page) and 1,000 entries arriving while it is shown, against plain baselines from
// the same run: matching the same texts in a loop, and prepending the same entries to a list.
#include "platform/processes/Clock.h"
#include "ui/dashboard/ActivityLogPage.h"
#include "ui/models/ActivityLogFilterModel.h"
#include "ui/models/ActivityLogModel.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLocale>

namespace {

constexpr int kLogEntries = 10000;
constexpr int kAppended = 1000;

const QStringList kMessages{
    QStringLiteral("Request: tools/call"),          QStringLiteral("Tool call: read_file"),
    QStringLiteral("Tool success: read_file"),      QStringLiteral("Request: resources/read"),
    QStringLiteral("Resource read: system://info"), QStringLiteral("Tool error: execute_command"),
    QStringLiteral("Connected: claude-ai v0.1.0"),  QStringLiteral("Prompt get: analyze_file"),
};
// What a user types, one keystroke at a time, and takes back again.
const QStringList kKeystrokes{
    QStringLiteral("t"),    QStringLiteral("to"),  QStringLiteral("too"), QStringLiteral("tool"), QStringLiteral("tool "),
    QStringLiteral("tool"), QStringLiteral("too"), QStringLiteral("to"),  QStringLiteral("t"),    QString()};

ActivityLogRow entry(int i)
{
    const auto type = static_cast<LogType>(i % 5);
    return ActivityLogRow{ActivityLogEntry{QUuid::createUuid(), QDateTime::currentDateTimeUtc(),
                                           kMessages.at(i % kMessages.size()) + QStringLiteral(" #%1").arg(i), type},
                          1000 + i % 3, QStringLiteral("client %1").arg(i % 3)};
}

QList<ActivityLogRow> longLog()
{
    QList<ActivityLogRow> rows;
    rows.reserve(kLogEntries);
    for (int i = kLogEntries; i > 0; --i)
        rows.append(entry(i));
    return rows;
}

struct ShownPage {
    ShownPage()
    {
        log.setEntries(longLog());
        page.resize(1000, 700);
        page.show();
        QApplication::processEvents();
    }
    SystemClock clock;
    ActivityLogModel log;
    ActivityLogPage page{log, nullptr, clock};
};

void searchKeystroke(benchmark::State& state)
{
    ShownPage shown;
    int i = 0;
    for (auto _ : state) {
        shown.page.setSearchText(kKeystrokes.at(i++ % kKeystrokes.size()));
        shown.page.repaint();
    }
}

// The same texts matched in a plain loop: the least a search of this log can cost.
void searchBaseline(benchmark::State& state)
{
    QStringList folded;
    for (const ActivityLogRow& row : longLog())
        folded.append(QLocale().toLower(row.entry.message));
    int i = 0;
    for (auto _ : state) {
        const QString needle = QLocale().toLower(kKeystrokes.at(i++ % kKeystrokes.size()));
        int matches = 0;
        for (const QString& text : folded)
            matches += text.contains(needle) ? 1 : 0;
        benchmark::DoNotOptimize(matches);
    }
}

void appendWhileShown(benchmark::State& state)
{
    ShownPage shown;
    shown.page.setSearchText(QStringLiteral("tool"));
    QList<ActivityLogRow> arriving;
    for (int i = 0; i < kAppended; ++i)
        arriving.append(entry(kLogEntries + i));
    for (auto _ : state) {
        state.PauseTiming();
        shown.log.setEntries(longLog());
        QApplication::processEvents();
        state.ResumeTiming();
        for (const ActivityLogRow& row : arriving) {
            shown.log.addEntry(row);
            QApplication::processEvents();
        }
        shown.page.repaint();
    }
}

void appendBaseline(benchmark::State& state)
{
    QList<ActivityLogRow> arriving;
    for (int i = 0; i < kAppended; ++i)
        arriving.append(entry(kLogEntries + i));
    for (auto _ : state) {
        state.PauseTiming();
        QList<ActivityLogRow> log = longLog();
        state.ResumeTiming();
        for (const ActivityLogRow& row : arriving)
            log.prepend(row);
        benchmark::DoNotOptimize(log.data());
    }
}

BENCHMARK(searchKeystroke)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(searchBaseline)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(appendWhileShown)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(appendBaseline)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

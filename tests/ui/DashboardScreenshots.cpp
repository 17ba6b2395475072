// Draws every dashboard page with a populated log and statistics and writes one PNG per page
// into the folder given as the only argument. Run by the screenshot test under Xvfb, so that
// people can look at the pages as a desktop draws them.
#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "control/ServerComponents.h"
#include "platform/Clock.h"
#include "platform/QSettingsPreferencesStore.h"
#include "platform/SystemServices.h"
#include "state/StatisticsManager.h"
#include "support/FakeStandardStreams.h"
#include "tools/ToolRegistry.h"
#include "ui/dashboard/ActivityLogPage.h"
#include "ui/dashboard/DocumentationPages.h"
#include "ui/dashboard/FeatureCardWidget.h"
#include "ui/dashboard/FunctionsPage.h"
#include "ui/dashboard/SettingsPage.h"
#include "ui/dashboard/StatisticsPage.h"
#include "ui/dashboard/StatusPage.h"
#include "ui/models/ActivityLogModel.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include <iostream>

namespace {

struct Sample {
    const char* message;
    LogType type;
    int process;
};

const Sample kSamples[] = {
    {"Server started", LogType::Info, 0},
    {"Connected: claude-ai v0.1.0", LogType::Info, 1},
    {"Request: initialize", LogType::Request, 1},
    {"Request: tools/list", LogType::Request, 1},
    {"Request: tools/call", LogType::Request, 1},
    {"Tool call: read_file", LogType::ToolCall, 1},
    {"Tool success: read_file", LogType::Success, 1},
    {"Connected: cursor v1.4.2", LogType::Info, 2},
    {"Request: tools/call", LogType::Request, 2},
    {"Tool call: execute_command", LogType::ToolCall, 2},
    {"Tool error: execute_command: Command: make install | Exit code: 2 | Error: make: *** No rule to make target 'install'.",
     LogType::Error, 2},
    {"Resource read: system://info", LogType::Request, 1},
    {"Request: tools/call", LogType::Request, 1},
    {"Tool call: search_files", LogType::ToolCall, 1},
    {"Tool success: search_files", LogType::Success, 1},
    {"Prompt get: analyze_file", LogType::Request, 2},
};

void populate(ActivityLogModel& log, ActivityLogModel& recent, StatisticsManager& statistics)
{
    const QString clients[] = {QString(), QStringLiteral("claude-ai"), QStringLiteral("cursor")};
    QDateTime when = QDateTime::currentDateTimeUtc().addSecs(-600);
    for (const Sample& sample : kSamples) {
        when = when.addSecs(17);
        const ActivityLogRow row{ActivityLogEntry{QUuid::createUuid(), when, QString::fromLatin1(sample.message), sample.type},
                                 4100 + sample.process, clients[sample.process]};
        log.addEntry(row);
        recent.addEntry(row);
    }
    statistics.startSession();
    const struct {
        const char* tool;
        int calls;
        int failures;
        double seconds;
    } usage[] = {{"read_file", 42, 1, 0.012},     {"execute_command", 27, 4, 0.84}, {"search_files", 15, 0, 0.31},
                 {"get_system_info", 9, 0, 0.05}, {"write_file", 6, 1, 0.02},       {"capture_screenshot", 3, 0, 0.65}};
    for (const auto& tool : usage) {
        for (int i = 0; i < tool.calls; ++i) {
            statistics.recordRequest();
            statistics.recordToolCall(QString::fromLatin1(tool.tool), tool.seconds * (0.8 + 0.05 * (i % 8)), i >= tool.failures);
        }
    }
    statistics.recordConnection(QStringLiteral("claude-ai"), QStringLiteral("0.1.0"));
    statistics.recordConnection(QStringLiteral("cursor"), QStringLiteral("1.4.2"));
    statistics.saveNow();
}

bool save(QWidget* page, const QString& folder, const QString& name)
{
    page->resize(1000, 680);
    page->show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(folder).filePath(QStringLiteral("dashboard-%1.png").arg(name));
    const bool saved = page->grab().save(path);
    std::cout << (saved ? "wrote " : "could not write ") << path.toStdString() << std::endl;
    page->hide();
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: zarnel_dashboard_screenshots FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home;
    QSettingsPreferencesStore store(home.filePath(QStringLiteral("zarnel.conf")));
    SystemClock clock;
    FakeStandardStreams streams;
    ServerComponents components(store, clock, streams, SystemServices::forThisSession());

    ActivityLogModel log;
    ActivityLogModel recent(StatusPage::kRecentEntries);
    populate(log, recent, components.statistics());

    bool ok = true;
    StatusPage status(recent);
    status.setRunning(true);
    status.setConnections(2);
    status.setTotalRequests(components.statistics().totalRequests());
    ok &= save(&status, folder, QStringLiteral("status"));

    StatisticsPage statistics(components.statistics(), nullptr, clock);
    ok &= save(&statistics, folder, QStringLiteral("statistics"));

    ActivityLogPage activity(log, nullptr, clock);
    ok &= save(&activity, folder, QStringLiteral("activity-log"));

    FunctionsPage functions(FeatureCards::fromTools(components.tools().listTools()),
                            FeatureCards::fromResources(components.resources().resources()),
                            FeatureCards::fromPrompts(components.prompts().prompts()));
    functions.cards().at(0)->setExpanded(true);
    ok &= save(&functions, folder, QStringLiteral("functions"));

    SettingsPage settings(components.settings(), SettingsPage::localWriter(components.settings()), [] {
        return QList<CapabilityStatus>{
            {QStringLiteral("Clipboard"), true, QStringLiteral("X11 clipboard"), {}},
            {QStringLiteral("Screenshots"), false, QStringLiteral("No screenshot tool found"), QStringLiteral("gnome-screenshot or grim")}};
    });
    ok &= save(&settings, folder, QStringLiteral("settings"));

    std::unique_ptr<QWidget> gettingStarted(DocumentationPages::gettingStarted(QCoreApplication::applicationFilePath()));
    ok &= save(gettingStarted.get(), folder, QStringLiteral("getting-started"));
    std::unique_ptr<QWidget> examples(DocumentationPages::examples());
    ok &= save(examples.get(), folder, QStringLiteral("examples"));
    return ok ? 0 : 1;
}

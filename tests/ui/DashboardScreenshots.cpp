// Draws the dashboard window at its smallest size (900 × 600) on each of its seven pages, the
// About dialog, the tray menu with a long entry and the confirmation dialog with a long command,
// and writes one PNG of each into the folder given. "dark" draws them in a dark palette; the
// platform theme is the environment's (QT_QPA_PLATFORMTHEME). Run by the screenshot test under
// Xvfb, so that people can look at them as a desktop draws them. It also checks, and reports on
// standard output, what a person trips over at that size: a label or a figure of the Status and
// Statistics pages cut short, a page that scrolls sideways. Exit status 1 for either.
#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/processes/Clock.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/StatisticsManager.h"
#include "support/FakeStandardStreams.h"
#include "tools/ToolRegistry.h"
#include "ui/AboutWindow.h"
#include "ui/ConfirmationDialog.h"
#include "ui/MainWindow.h"
#include "ui/dashboard/ActivityLogPage.h"
#include "ui/dashboard/ActivityTable.h"
#include "ui/dashboard/DocumentationPages.h"
#include "ui/dashboard/FeatureCardWidget.h"
#include "ui/dashboard/FunctionsPage.h"
#include "ui/dashboard/SettingsPage.h"
#include "ui/dashboard/StatisticsPage.h"
#include "ui/dashboard/StatusPage.h"
#include "ui/models/ActivityLogModel.h"
#include "ui/tray/TrayMenu.h"
#include "ui/tray/TrayMenuModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTreeView>

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

// A dark palette for the Fusion style, as a dark desktop theme gives one.
QPalette darkPalette()
{
    const QColor text(0xe6, 0xe6, 0xe6);
    const QColor muted(0x80, 0x80, 0x80);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(0x1f, 0x1f, 0x1f));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    palette.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x36, 0x36, 0x36));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4a));
    palette.setColor(QPalette::Midlight, QColor(0x3e, 0x3e, 0x3e));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x3b, 0x6f, 0xd4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x7a, 0xb0, 0xff));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, muted);
    return palette;
}

// Lets the window system and Qt lay out and paint what was just shown.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool save(QWidget* widget, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    const bool saved = widget->grab().save(path);
    std::cout << (saved ? "wrote " : "could not write ") << path.toStdString() << std::endl;
    return saved;
}

// What of `page` is cut short: a label narrower than its one line of text, an item-view cell
// narrower than its text (the delegate's own size), and every view that scrolls sideways.
QStringList cutShort(QWidget* page, bool labelsAndCells)
{
    QStringList problems;
    for (const QAbstractScrollArea* area : page->findChildren<QAbstractScrollArea*>()) {
        const bool sideways = qobject_cast<const QScrollArea*>(area) || qobject_cast<const QAbstractItemView*>(area);
        if (sideways && area->isVisible() && area->horizontalScrollBar()->maximum() > 0)
            problems << QStringLiteral("scrolls sideways by %1 px: %2 %3")
                            .arg(area->horizontalScrollBar()->maximum())
                            .arg(QString::fromLatin1(area->metaObject()->className()), area->accessibleName());
    }
    if (!labelsAndCells)
        return problems;
    for (const QLabel* label : page->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
            continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        if (needed > label->contentsRect().width())
            problems << QStringLiteral("label cut: \"%1\" needs %2 px, has %3")
                            .arg(label->text())
                            .arg(needed)
                            .arg(label->contentsRect().width());
    }
    for (const QTreeView* view : page->findChildren<QTreeView*>()) {
        const QAbstractItemModel* model = view->model();
        if (!view->isVisible() || !model)
            continue;
        for (int column = 0; column < model->columnCount(); ++column) {
            // A delegate of its own (a bar) draws no text to cut; a log message of any length
            // is shortened by design, and whole in its tooltip.
            if (view->isColumnHidden(column) || view->itemDelegateForColumn(column)
                || (qobject_cast<const ActivityTable*>(view) && column == ActivityLogModel::MessageColumn))
                continue;
            for (int row = 0; row < std::min(model->rowCount(), 50); ++row) {
                const QModelIndex index = model->index(row, column);
                QStyleOptionViewItem option;
                option.initFrom(view);
                option.font = view->font();
                option.fontMetrics = view->fontMetrics();
                option.decorationSize = view->iconSize().isValid()
                    ? view->iconSize()
                    : QSize(view->style()->pixelMetric(QStyle::PM_SmallIconSize), view->style()->pixelMetric(QStyle::PM_SmallIconSize));
                option.features = QStyleOptionViewItem::HasDisplay;
                const int needed = view->itemDelegateForIndex(index)->sizeHint(option, index).width();
                const int has = view->header()->sectionSize(column);
                if (needed > has)
                    problems << QStringLiteral("cell cut: \"%1\" needs %2 px, has %3 (%4)")
                                    .arg(index.data().toString())
                                    .arg(needed)
                                    .arg(has)
                                    .arg(view->accessibleName());
            }
        }
    }
    return problems;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3 || (argc == 3 && qstrcmp(argv[2], "dark") != 0 && qstrcmp(argv[2], "light") != 0)) {
        std::cerr << "usage: zarnel_dashboard_screenshots FOLDER [light|dark]\n";
        return 2;
    }
    if (argc == 3 && qstrcmp(argv[2], "dark") == 0) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }
    // The test reads which icon theme the platform theme chose, to know that it was in effect.
    std::cout << "icon theme: " << QIcon::themeName().toStdString() << std::endl;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    QTemporaryDir home;
    QSettingsPreferencesStore store(home.filePath(QStringLiteral("zarnel.conf")));
    SystemClock clock;
    FakeStandardStreams streams;
    ServerComponents components(store, clock, streams, SystemServices::forThisSession());

    ActivityLogModel log;
    ActivityLogModel recent(StatusPage::kRecentEntries);
    populate(log, recent, components.statistics());

    MainWindow window;
    auto* status = new StatusPage(recent);
    status->setRunning(true);
    status->setConnections(2);
    status->setTotalRequests(components.statistics().totalRequests());
    window.setPage(DashboardPage::Status, status);
    window.setPage(DashboardPage::Statistics, new StatisticsPage(components.statistics(), nullptr, clock));
    auto* activity = new ActivityLogPage(log, nullptr, clock);
    window.setPage(DashboardPage::ActivityLog, activity);
    // The failure selected, its reason shown whole below the rows.
    auto* rows = activity->findChild<ActivityTable*>();
    for (int row = 0; row < rows->model()->rowCount(); ++row) {
        const QModelIndex message = rows->model()->index(row, ActivityLogModel::MessageColumn);
        if (message.data().toString().startsWith(QStringLiteral("Tool error")))
            rows->setCurrentIndex(message);
    }
    auto* functions = new FunctionsPage(FeatureCards::fromTools(components.tools().listTools()),
                                        FeatureCards::fromResources(components.resources().resources()),
                                        FeatureCards::fromPrompts(components.prompts().prompts()));
    functions->cards().at(0)->setExpanded(true);
    window.setPage(DashboardPage::Functions, functions);
    window.setPage(DashboardPage::Settings, new SettingsPage(components.settings(), SettingsPage::localWriter(components.settings()), [] {
                       return QList<CapabilityStatus>{{QStringLiteral("Clipboard"), true, QStringLiteral("X11 clipboard"), {}},
                                                      {QStringLiteral("Screenshots"), false, QStringLiteral("No screenshot tool found"),
                                                       QStringLiteral("gnome-screenshot or grim")}};
                   }));
    window.setPage(DashboardPage::GettingStarted, DocumentationPages::gettingStarted(QStringLiteral("/usr/bin/zarnel")));
    window.setPage(DashboardPage::Examples, DocumentationPages::examples());

    bool ok = true;
    QStringList problems;
    window.resize(window.minimumSize());
    window.show();
    settle();
    const struct {
        DashboardPage page;
        const char* name;
    } pages[] = {{DashboardPage::Status, "status"},
                 {DashboardPage::Statistics, "statistics"},
                 {DashboardPage::ActivityLog, "activity-log"},
                 {DashboardPage::Functions, "functions"},
                 {DashboardPage::Settings, "settings"},
                 {DashboardPage::GettingStarted, "getting-started"},
                 {DashboardPage::Examples, "examples"}};
    for (const auto& each : pages) {
        window.selectPage(each.page);
        settle();
        ok &= save(&window, folder, QString::fromLatin1(each.name));
        const bool figures = each.page == DashboardPage::Status || each.page == DashboardPage::Statistics;
        for (const QString& problem : cutShort(window.page(each.page), figures))
            problems << QString::fromLatin1(each.name) + QStringLiteral(": ") + problem;
    }

    window.showAboutWindow();
    settle();
    ok &= save(window.aboutWindow(), folder, QStringLiteral("about"));
    window.aboutWindow()->hide();

    TrayMenuModel model;
    model.setFigures(TrayFigures{true,
                                 2,
                                 128,
                                 {QStringLiteral("Tool error: execute_command: Command: find / -name '*.conf' -newer "
                                                 "/var/lib/dpkg/status -exec grep -l zarnel {} + | Exit code: 1"),
                                  QStringLiteral("Tool call: execute_command"), QStringLiteral("Connected: claude-code v1.0.3"),
                                  QStringLiteral("Server started"), QStringLiteral("Connected: cursor v0.42")}});
    TrayMenu menu(model);
    menu.popup(QPoint(0, 0));
    settle();
    ok &= save(&menu, folder, QStringLiteral("tray-menu"));
    menu.hide();

    ConfirmationDialog confirmation(
        QStringLiteral("Allow execute_command to run the command: rsync -avh --delete-after --exclude=node_modules "
                       "--exclude=.cache ~/projects/zarnel-desktop-integration/ "
                       "backup-host:/srv/backups/2026-12-07/projects/zarnel-desktop-integration/ "
                       "(in /home/ana/projects)?"),
        QStringLiteral("Claude Code 1.0.3"), std::chrono::seconds(60));
    confirmation.show();
    settle();
    ok &= save(&confirmation, folder, QStringLiteral("confirmation"));
    confirmation.hide();

    for (const QString& problem : problems)
        std::cout << "cut short: " << problem.toStdString() << std::endl;
    return ok && problems.isEmpty() ? 0 : 1;
}

#include "app/Application.h"

#include "Version.h"
#include "app/CommandLine.h"
#include "app/SubCommands.h"
#include "control/ControlServer.h"
#include "control/DesktopConfirmationAsker.h"
#include "control/ServerComponents.h"
#include "platform/Clock.h"
#include "platform/CommandGroups.h"
#include "platform/DisplayEnvironment.h"
#include "platform/Log.h"
#include "platform/NotificationService.h"
#include "platform/PosixStandardStreams.h"
#include "platform/QSettingsPreferencesStore.h"
#include "platform/SessionEnvironment.h"
#include "platform/SystemServices.h"
#include "platform/TerminationSignals.h"
#include "platform/XdgAutostartEntry.h"
#include "server/ConfirmationGate.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/DesktopNotifier.h"
#include "state/LaunchAtLoginSync.h"
#include "state/SettingsManager.h"
#include "ui/DesktopConfirmations.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kUsageError = 2;

void printToStandardOutput(const QString& text)
{
    // Only reached for help and version texts, before any protocol traffic exists.
    QTextStream(stdout) << text;
}

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// How the session should start the desktop instance at login: by its name when that finds this
// very program on the PATH, else by its full path.
QStringList desktopInstanceCommand()
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("zarnel"));
    const QString program = !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self ? QStringLiteral("zarnel") : self;
    return {program, QStringLiteral("--hidden")};
}

// How long a question to a person waits for the answer. The end-to-end tests shorten it, as they
// cannot wait a minute for a dialog to deny by itself.
std::chrono::milliseconds confirmationTimeLimit(std::chrono::milliseconds usual)
{
    bool valid = false;
    const int shortened = qEnvironmentVariableIntValue("ZARNEL_TEST_CONFIRMATION_TIME_LIMIT_MS", &valid);
    return valid && shortened > 0 ? std::chrono::milliseconds(shortened) : usual;
}

// The role an MCP client starts: the server over standard input and output, with a control
// socket beside it.
int serve(int argc, char** argv)
{
    // Before the mode is chosen: a client that stripped our environment must not cost the user
    // the desktop they sit at.
    if (const QString session = SessionEnvironment::describe(SessionEnvironment().adoptIntoProcess()); !session.isEmpty())
        std::cerr << session.toStdString() << "\n";
    const bool headless = !DisplayEnvironment::hasDisplaySession();
    std::unique_ptr<QCoreApplication> app;
    if (headless) {
        // Without windows nothing needs the GLib main loop; Qt's own dispatcher wakes up
        // faster for every line a client writes. The variable is ours alone: children we
        // start must not inherit it.
        const bool chosenByUser = qEnvironmentVariableIsSet("QT_NO_GLIB");
        if (!chosenByUser)
            qputenv("QT_NO_GLIB", "1");
        app = std::make_unique<QCoreApplication>(argc, argv);
        if (!chosenByUser)
            qunsetenv("QT_NO_GLIB");
    } else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarvonic"));
    QCoreApplication::setApplicationName(QStringLiteral("zarnel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZARNEL_VERSION));
    Log::installDefaultRules();
    PosixStandardStreams::ignoreWriteFailureSignals();

    // Taken over first, so that a signal arriving while the rest starts up waits for the event
    // loop (and the orderly exit) instead of killing the process.
    TerminationSignals terminationSignals;

    QSettingsPreferencesStore store;
    SystemClock clock;
    PosixStandardStreams streams;
    ServerComponents components(store, clock, streams, SystemServices::forThisSession());

    XdgAutostartEntry autostart(XdgAutostartEntry::userConfigHome(), desktopInstanceCommand());
    LaunchAtLoginSync launchAtLogin(components.settings(), autostart);

    // Only a process with a desktop tells the user about connections and failures.
    std::unique_ptr<DesktopNotifier> notifier;
    if (!headless) {
        notifier = std::make_unique<DesktopNotifier>(components.settings(), *components.services().notifications, clock);
        QObject::connect(&components.activityLog(), &ActivityLog::entryAdded, notifier.get(), [&](const ActivityLogEntry& entry) {
            if (const auto event = DesktopNotifier::eventOf(entry))
                notifier->report(*event);
        });
    }

    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, app.get(), [&] {
        components.shutdown();
        QCoreApplication::quit();
    });

    // A headless process has no one to keep it company once its client is gone.
    if (headless) {
        QObject::connect(&components.server(), &MCPServer::inputFinished, app.get(), [&] {
            components.shutdown();
            QCoreApplication::quit();
        });
    }

    // Every process can be reached by the others and by the sub-commands; one that cannot
    // still serves its client.
    ControlServer control(components);
    if (!control.listen())
        std::cerr << "zarnel: no control socket: " << control.problem().toStdString() << "\n";

    // Tool calls that need a person's yes ask through the desktop instance's dialog when the
    // client cannot ask its user; a process with a desktop shows such dialogs.
    ConfirmationGate& gate = components.confirmationGate();
    gate.setTimeLimits(confirmationTimeLimit(ConfirmationGate::kClientTimeLimit),
                       confirmationTimeLimit(ConfirmationGate::kDesktopTimeLimit));
    DesktopConfirmationAsker desktopAsker(ControlFolder(), gate.desktopTimeLimit(), [&] {
        const auto& client = components.server().clientInfo();
        return client ? QString::fromStdString(client->name + " " + client->version) : QString();
    });
    gate.setDesktopAsker(&desktopAsker);
    std::unique_ptr<DesktopConfirmations> confirmations;
    if (!headless) {
        confirmations = std::make_unique<DesktopConfirmations>();
        confirmations->registerWith(control);
    }

    // What showing the dashboard does: start the server when so configured.
    if (components.settings().autoStartServer())
        components.server().start();

    const bool started = components.server().isRunning();
    const QString settingsPath = store.fileName();
    if (::isatty(STDERR_FILENO) == 1) {
        std::cerr << "Zarnel " ZARNEL_VERSION ": " << (headless ? "running headless" : "running on the desktop") << "; "
                  << (started ? "the MCP server is started." : "the MCP server is not started.") << "\n"
                  << "Settings: " << settingsPath.toStdString()
                  << (started ? "\n" : " (zarnel settings set autoStartServer true starts it at launch)\n");
    }
    if (headless && !started) {
        std::cerr << "zarnel: headless, and autoStartServer is not true in " << settingsPath.toStdString()
                  << ": nothing to do (zarnel settings set autoStartServer true changes that).\n";
        // A person at a terminal has been told what to do; a client that started us has not
        // got a server, which is a failure.
        return streams.inputIsTerminal() ? 0 : 1;
    }

    const int status = app->exec();
    components.shutdown();
    // Nothing the commands started outlives us, whatever ended the run.
    CommandGroups::endAll();
    return status;
}

} // namespace

namespace Application {

int run(int argc, char** argv)
{
    const CommandLine::Invocation invocation = CommandLine::parse(argumentList(argc, argv));
    switch (invocation.kind) {
    case CommandLine::Invocation::Kind::Help: printToStandardOutput(invocation.text); return 0;
    case CommandLine::Invocation::Kind::Version: printToStandardOutput(QStringLiteral("Zarnel " ZARNEL_VERSION "\n")); return 0;
    case CommandLine::Invocation::Kind::UsageError:
        std::cerr << "zarnel: " << invocation.text.toStdString() << "\n" << CommandLine::commandUsage(invocation.command).toStdString();
        return kUsageError;
    case CommandLine::Invocation::Kind::SubCommand: return SubCommands::run(argc, argv, invocation);
    case CommandLine::Invocation::Kind::Serve: break;
    }
    return serve(argc, argv);
}

} // namespace Application

#include "app/Launch.h"

#include "Version.h"

#include "app/DesktopLock.h"
#include "app/DesktopShell.h"
#include "app/LaunchRole.h"
#include "app/StandardError.h"
#include "control/ControlClient.h"
#include "control/ControlServer.h"
#include "control/DesktopConfirmationAsker.h"
#include "control/DesktopInstanceClipboard.h"
#include "control/DesktopInstanceEnvironment.h"
#include "control/DesktopInstanceFinder.h"
#include "control/DesktopInstanceScreenGrabber.h"
#include "control/DisplayCommands.h"
#include "control/ServerComponents.h"
#include "control/ServerState.h"
#include "platform/DesktopLibrary.h"
#include "platform/SystemServices.h"
#include "platform/desktop/XdgAutostartEntry.h"
#include "platform/processes/Clock.h"
#include "platform/processes/CommandGroups.h"
#include "platform/processes/DescriptorLimit.h"
#include "platform/processes/DetachedLauncher.h"
#include "platform/processes/InputHangUpWatch.h"
#include "platform/processes/Log.h"
#include "platform/processes/PosixStandardStreams.h"
#include "platform/processes/TerminationSignals.h"
#include "platform/session/DisplayEnvironment.h"
#include "platform/session/SessionEnvironment.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "server/ConfirmationGate.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/HistoryStore.h"
#include "state/LaunchAtLoginSync.h"
#include "state/SettingsManager.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// The display a desktop instance is connected to, or the one a client's process was given.
const char* displayName()
{
    if (DesktopLibrary::isLoaded())
        if (const char* connected = DesktopLibrary::functions()->connectedDisplayName())
            return connected;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return "X11";
    return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "no display" : "Wayland";
}

bool askToShowDashboard(const QString& socketPath)
{
    const auto reply = ControlClient::askBlocking(socketPath, "show-dashboard");
    return reply && reply->ok;
}

// A second user launch: asks the desktop instance to show its window. It may still be starting
// (two launches at once), so it is asked again for a few seconds.
int handOverToDesktopInstance(const ControlFolder& folder)
{
    constexpr int kAttempts = 25;
    constexpr int kPauseMs = 200;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0)
            QThread::msleep(kPauseMs);
        const QList<qint64> processes = folder.socketProcessIds();
        const bool shown =
            std::any_of(processes.cbegin(), processes.cend(), [&](qint64 pid) { return askToShowDashboard(folder.socketPath(pid)); });
        if (shown) {
            if (::isatty(STDERR_FILENO) == 1)
                StandardError() << "Zarnel is already running: its window is shown.\n";
            return 0;
        }
    }
    StandardError() << "zarnel: the running Zarnel did not answer; its tray item shows its window.\n";
    return 1;
}

// An MCP client's process makes sure the user sees Zarnel: a desktop instance, in the tray.
void startDesktopInstanceIfNone(const ControlFolder& folder)
{
    if (const QString problem = DesktopLock::problemAt(folder.path()); !problem.isEmpty()) {
        StandardError() << "zarnel: not starting the desktop application: " << problem.toStdString() << "\n";
        return;
    }
    if (DesktopLock::isHeldElsewhere(folder.path()))
        return;
    // Not waited for: the client's first answer must not wait on a desktop starting up.
    const DetachedLaunch launch =
        DetachedLauncher::start({QCoreApplication::applicationFilePath(), QStringLiteral("--hidden")}, {}, std::chrono::milliseconds(0));
    if (!launch.succeeded())
        StandardError() << "zarnel: cannot start the desktop application: " << launch.error.toStdString() << "\n";
}

// How long a question to a person waits for the answer. The end-to-end tests shorten it, as they
// cannot wait a minute for a dialog to deny by itself.
std::chrono::milliseconds confirmationTimeLimit(std::chrono::milliseconds usual)
{
    bool valid = false;
    const int shortened = qEnvironmentVariableIntValue("ZARNEL_TEST_CONFIRMATION_TIME_LIMIT_MS", &valid);
    return valid && shortened > 0 ? std::chrono::milliseconds(shortened) : usual;
}

// A client's process hands its display work to the desktop instance, whose clipboard outlives
// it; its own display connection is only the fallback, made when first needed.
PlatformServices servicesFor(LaunchRole role, const std::shared_ptr<DesktopInstanceFinder>& finder)
{
    PlatformServices services = SystemServices::forThisSession();
    if (role == LaunchRole::ClientLaunched) {
        services.clipboard = std::make_shared<DesktopInstanceClipboard>(finder, [] { return SystemServices::clipboard(); });
        services.screenGrabber = std::make_shared<DesktopInstanceScreenGrabber>(finder, [] { return SystemServices::screenGrabber(); });
    }
    return services;
}

} // namespace

namespace Launch {

std::unique_ptr<QCoreApplication> createApplication(int& argc, char** argv, bool windows, bool displayOptional)
{
    std::unique_ptr<QCoreApplication> app;
    const DesktopLibraryFunctions* library = windows ? DesktopLibrary::functions() : nullptr;
    if (windows && !library)
        StandardError() << "zarnel: no display library: " << DesktopLibrary::loadError().toStdString() << "\n";
    if (library)
        app.reset(library->createGuiApplication(argc, argv, displayOptional));
    if (!app) {
        // Without windows nothing needs the GLib main loop; Qt's own dispatcher wakes up faster
        // for every line a client writes. Set for the application object's creation only: the
        // programs we start must not inherit it.
        const bool setHere = !qEnvironmentVariableIsSet("QT_NO_GLIB");
        if (setHere)
            qputenv("QT_NO_GLIB", "1");
        app = std::make_unique<QCoreApplication>(argc, argv);
        if (setHere)
            qunsetenv("QT_NO_GLIB");
    }
    QCoreApplication::setOrganizationName(QStringLiteral("tarvonic"));
    QCoreApplication::setApplicationName(QStringLiteral("zarnel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZARNEL_VERSION));
    return app;
}

// By its name when that finds this very program on the PATH, else by its full path.
QStringList desktopInstanceCommand()
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("zarnel"));
    const QString program = !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self ? QStringLiteral("zarnel") : self;
    return {program, QStringLiteral("--hidden")};
}

int serve(int& argc, char** argv, bool hidden)
{
    DescriptorLimit::raiseToHardLimit();
    // Before the role is chosen: a client that stripped our environment must not cost the user
    // the desktop they sit at.
    if (const QString session = SessionEnvironment::describe(SessionEnvironment().adoptIntoProcess()); !session.isEmpty())
        StandardError() << session.toStdString() << "\n";
    const StandardInputKind input = StandardInput::kind(STDIN_FILENO);
    // Without a user manager to keep them, the person's running desktop instance has them.
    if (StandardInput::isFromClient(input)) {
        if (const QString found = SessionEnvironment::describe(DesktopInstanceEnvironment::adoptIntoProcess(ControlFolder()));
            !found.isEmpty())
            StandardError() << found.toStdString() << "\n";
    }
    // A display that cannot be opened (its session ended) is none: Qt would abort on it.
    // Qt's offscreen and minimal platforms are none either: a desktop instance on them would show
    // nothing and outlive the display it was started for.
    const bool displaySession = DisplayEnvironment::hasDisplaySession() && !DisplayEnvironment::qtPlatformDrawsNowhere();
    const bool display = displaySession && DisplayEnvironment::DisplayProbe().canOpen();
    if (displaySession && !display)
        StandardError() << "zarnel: the display in the environment cannot be opened; running without windows\n";
    const LaunchRole role = chooseLaunchRole(display, input);

    // The desktop lock is taken before anything is drawn or served, so a launch that is not the
    // desktop instance hands over at once.
    ControlFolder folder;
    const bool folderUsable = role != LaunchRole::Headless && folder.prepare();
    std::unique_ptr<DesktopLock> desktopLock;
    if (role == LaunchRole::User && folderUsable) {
        desktopLock = std::make_unique<DesktopLock>(folder.path());
        if (!desktopLock->tryAcquire()) {
            if (!desktopLock->problem().isEmpty()) {
                StandardError() << "zarnel: cannot start the desktop application: " << desktopLock->problem().toStdString() << "\n";
                return 1;
            }
            return hidden ? 0 : handOverToDesktopInstance(folder);
        }
    }
    const bool desktop = role == LaunchRole::User;

    // A client's process serves without Qt Gui or a display connection: its display work goes
    // to the desktop instance, and loads the desktop library only when none can run.
    const bool guiApplication = desktop;
    // A client's process serves its client whether or not the display opens.
    auto app = createApplication(argc, argv, guiApplication, !desktop);
    if (desktop && !app->inherits("QGuiApplication")) {
        StandardError() << "zarnel: cannot start the desktop application: the display in the environment cannot be opened\n";
        return 1;
    }
    Log::installDefaultRules();
    PosixStandardStreams::ignoreWriteFailureSignals();

    // Taken over first, so that a signal arriving while the rest starts up waits for the event
    // loop (and the orderly exit) instead of killing the process.
    TerminationSignals terminationSignals;

    QSettingsPreferencesStore store;
    SystemClock clock;
    PosixStandardStreams streams;
    // One finder for all display work, so that only one request waits for a starting desktop
    // instance.
    const auto desktopFinder = std::make_shared<DesktopInstanceFinder>(ControlFolder(), display);
    ServerComponents components(store, clock, streams, servicesFor(role, desktopFinder));
    // exit(), not quit(): a GUI application's quit() first asks every window to close, and the
    // dashboard, which only hides when closed, refuses, which would cancel the quit.
    const auto quit = [&] {
        components.shutdown();
        QCoreApplication::exit(0);
    };
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, app.get(), quit);

    components.keepHistory(HistoryStore::defaultPath());
    XdgAutostartEntry autostart(XdgAutostartEntry::userConfigHome(), &desktopInstanceCommand);
    LaunchAtLoginSync launchAtLogin(components.settings(), autostart);

    // A client's process has no one to keep it company once its client is gone; the desktop
    // instance stays in the tray whatever its standard input does.
    if (!desktop)
        QObject::connect(&components.server(), &MCPServer::inputFinished, app.get(), quit);
    // Nothing reads standard input while the server is stopped, so a client that leaves then is
    // seen by its end hanging up instead.
    std::unique_ptr<InputHangUpWatch> clientWatch;
    if (!desktop && StandardInput::isFromClient(input)) {
        clientWatch = std::make_unique<InputHangUpWatch>(STDIN_FILENO);
        QObject::connect(clientWatch.get(), &InputHangUpWatch::hungUp, app.get(), quit);
        QObject::connect(&components.server(), &MCPServer::isRunningChanged, clientWatch.get(),
                         [&] { clientWatch->setActive(!components.server().isRunning()); });
    }

    // Every process can be reached by the others and by the sub-commands; one that cannot
    // still serves its client.
    ControlServer control(components);
    control.setDesktop(desktop);
    if (!control.listen())
        StandardError() << "zarnel: no control socket: " << control.problem().toStdString() << "\n";

    // Tool calls that need a person's yes ask through the desktop instance's dialog when the
    // client cannot ask its user; the desktop instance shows such dialogs.
    ConfirmationGate& gate = components.confirmationGate();
    gate.setTimeLimits(confirmationTimeLimit(ConfirmationGate::kClientTimeLimit),
                       confirmationTimeLimit(ConfirmationGate::kDesktopTimeLimit));
    DesktopConfirmationAsker desktopAsker(desktopFinder, gate.desktopTimeLimit(), [&] {
        const auto& client = components.server().clientInfo();
        return client ? QString::fromStdString(client->name + " " + client->version) : QString();
    });
    gate.setDesktopAsker(&desktopAsker);
    std::unique_ptr<DesktopShell> desktopShell;
    // The desktop instance does the display work of every client's process.
    std::unique_ptr<DisplayCommands> displayCommands;
    if (desktop) {
        const DesktopLibraryFunctions* library = DesktopLibrary::functions();
        if (!library) {
            StandardError() << "zarnel: cannot start the desktop application: " << DesktopLibrary::loadError().toStdString() << "\n";
            return 1;
        }
        displayCommands = std::make_unique<DisplayCommands>(components.services().clipboard, components.services().screenGrabber, folder);
        displayCommands->registerWith(control);
        desktopShell.reset(library->createDesktopShell(DesktopShellSetup{components, control, folder, clock, quit}));
    }

    // A client's requests are read (and wait) while the server is stopped, so that the person
    // sees who waits; the person's start or stop holds for every process, this one included.
    if (StandardInput::isFromClient(input))
        components.server().keepReadingWhileStopped();
    ServerState serverState(folder);
    serverState.drive(components.server(), components.settings().autoStartServer());
    const std::optional<bool> chosen = serverState.chosen();
    if (clientWatch)
        clientWatch->setActive(!components.server().isRunning());
    if (desktopShell)
        desktopShell->start(hidden);
    if (role == LaunchRole::ClientLaunched && folderUsable)
        startDesktopInstanceIfNone(folder);

    const bool started = components.server().isRunning();
    const QString settingsPath = store.fileName();
    if (::isatty(STDERR_FILENO) == 1) {
        const std::string where =
            role == LaunchRole::Headless ? std::string("running headless") : std::string("running on the desktop (") + displayName() + ")";
        StandardError() << "Zarnel " ZARNEL_VERSION ": " << where << (desktop ? " as the desktop application" : "") << "; "
                        << (started ? "the MCP server is started." : "the MCP server is not started.") << "\n"
                        << "Settings: " << settingsPath.toStdString()
                        << (started       ? "\n"
                                : !chosen ? " (zarnel settings set autoStartServer true starts it at launch)\n"
                                          : " (its user stopped Zarnel: zarnel server start starts it)\n");
    }
    if (role == LaunchRole::Headless && !started && !chosen) {
        StandardError() << "zarnel: headless, and autoStartServer is not true in " << settingsPath.toStdString()
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

} // namespace Launch

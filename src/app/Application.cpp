#include "app/Application.h"

#include "platform/Clock.h"
#include "platform/DisplayEnvironment.h"
#include "platform/Log.h"
#include "platform/PosixStandardStreams.h"
#include "platform/QSettingsPreferencesStore.h"
#include "platform/TerminationSignals.h"
#include "server/ServerComponents.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <cstring>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kUsageError = 2;

const char* const kUsage =
    "Usage: zarnel [--help | --version]\n"
    "\n"
    "Zarnel is a Model Context Protocol server for this desktop. An MCP client starts it and\n"
    "talks JSON-RPC over its standard input and output, one message per line.\n"
    "\n"
    "With neither DISPLAY nor WAYLAND_DISPLAY set it runs headless: no windows, and the server\n"
    "starts at launch when autoStartServer=true is set in the settings file. It exits when its\n"
    "standard input ends.\n"
    "\n"
    "Options:\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

enum class CommandLine { Run, Help, Version, Invalid };

CommandLine parseCommandLine(int argc, char** argv, std::string* offending)
{
    const auto is = [](const char* argument, const char* longForm, const char* shortForm) {
        return std::strcmp(argument, longForm) == 0 || std::strcmp(argument, shortForm) == 0;
    };
    if (argc <= 1)
        return CommandLine::Run;
    if (argc == 2 && is(argv[1], "--help", "-h"))
        return CommandLine::Help;
    if (argc == 2 && is(argv[1], "--version", "-v"))
        return CommandLine::Version;
    // Either an unknown word or one word too many: name the first that cannot stand.
    *offending = argc == 2 || !(is(argv[1], "--help", "-h") || is(argv[1], "--version", "-v")) ? argv[1] : argv[2];
    return CommandLine::Invalid;
}

void printToStandardOutput(const char* text)
{
    // Only reached for --help and --version, before any protocol traffic exists.
    QTextStream(stdout) << text;
}

} // namespace

namespace Application {

int run(int argc, char** argv)
{
    std::string offending;
    switch (parseCommandLine(argc, argv, &offending)) {
    case CommandLine::Help:
        printToStandardOutput(kUsage);
        return 0;
    case CommandLine::Version:
        printToStandardOutput("Zarnel " ZARNEL_VERSION "\n");
        return 0;
    case CommandLine::Invalid:
        std::cerr << "zarnel: unknown argument '" << offending << "'\n" << kUsage;
        return kUsageError;
    case CommandLine::Run:
        break;
    }

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
    PosixStandardStreams::ignoreBrokenPipeSignal();

    // Taken over first, so that a signal arriving while the rest starts up waits for the event
    // loop (and the orderly exit) instead of killing the process.
    TerminationSignals terminationSignals;

    QSettingsPreferencesStore store;
    SystemClock clock;
    PosixStandardStreams streams;
    ServerComponents components(store, clock, streams);

    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, app.get(), [&] {
        components.shutdown();
        QCoreApplication::quit();
    });

    // A headless process has no one to keep it company once its client is gone.
    if (headless) {
        QObject::connect(&components.server, &MCPServer::inputFinished, app.get(), [&] {
            components.shutdown();
            QCoreApplication::quit();
        });
    }

    // What showing the dashboard does: start the server when so configured.
    if (components.settings.autoStartServer())
        components.server.start();

    const bool started = components.server.isRunning();
    const QString settingsPath = store.fileName();
    if (::isatty(STDERR_FILENO) == 1) {
        std::cerr << "Zarnel " ZARNEL_VERSION ": " << (headless ? "running headless" : "running on the desktop") << "; "
                  << (started ? "the MCP server is started." : "the MCP server is not started.") << "\n"
                  << "Settings: " << settingsPath.toStdString()
                  << (started ? "\n" : " (set autoStartServer=true there to start it at launch)\n");
    }
    if (headless && !started) {
        std::cerr << "zarnel: headless, and autoStartServer is not true in " << settingsPath.toStdString()
                  << ": nothing to do.\n";
        // A person at a terminal has been told what to do; a client that started us has not
        // got a server, which is a failure.
        return streams.inputIsTerminal() ? 0 : 1;
    }

    const int status = app->exec();
    components.shutdown();
    return status;
}

} // namespace Application

// zarnel's headless server with the test-only tools added (ask_user): what the SDK client tests
// drive to see a question reach its user. Settings and statistics live in the HOME it is given.

#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/processes/Clock.h"
#include "platform/processes/Log.h"
#include "platform/processes/PosixStandardStreams.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "server/MCPServer.h"
#include "support/AskingTool.h"
#include "tools/ToolRegistry.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarvonic"));
    QCoreApplication::setApplicationName(QStringLiteral("zarnel"));
    Log::installDefaultRules();
    PosixStandardStreams::ignoreWriteFailureSignals();

    QSettingsPreferencesStore store;
    SystemClock clock;
    PosixStandardStreams streams;
    ServerComponents components(store, clock, streams, SystemServices::forThisSession());
    components.tools().registerTool(std::make_shared<AskingTool>(components.server().clientQuestions()));
    QObject::connect(&components.server(), &MCPServer::inputFinished, &app, [&] {
        components.shutdown();
        QCoreApplication::quit();
    });
    components.server().start();
    const int status = app.exec();
    components.shutdown();
    return status;
}

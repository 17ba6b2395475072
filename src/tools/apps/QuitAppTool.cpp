#include "tools/apps/QuitAppTool.h"

#include "platform/desktop/Workspace.h"
#include "platform/processes/Log.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

ZARNEL_LOGGING_CATEGORY(lcQuitApp, "QuitAppTool")

namespace {

struct QuitOutcome {
    bool found = false;
    bool delivered = false;
    QString name;
};

// The name matches in any letter case, the identifier only exactly.
std::optional<RunningApplication> findRunningApp(const Workspace& workspace, const QString& app)
{
    const QString lowered = app.toLower();
    for (RunningApplication& application : workspace.runningApplications()) {
        if ((application.localizedName && application.localizedName->toLower() == lowered)
            || (application.bundleIdentifier && *application.bundleIdentifier == app))
            return std::move(application);
    }
    return std::nullopt;
}

} // namespace

QuitAppTool::QuitAppTool(const Workspace& workspace)
    : BaseTool(lcQuitApp())
    , m_workspace(workspace)
{
}

MCPTool QuitAppTool::definition() const
{
    return makeDefinition("quit_app", "Quit an application by name or desktop entry id. Can force quit if needed.",
                          {{"app", "string", "App name or desktop entry id (e.g., 'org.gnome.TextEditor')"},
                           {"force", "boolean", "Force quit the app (default: false)"}},
                          {"app"});
}

QCoro::Task<MCPToolCallResponse> QuitAppTool::execute(Arguments arguments, CancellationToken)
{
    const auto app = getStringArgument(arguments, "app", true);
    if (app.failed())
        co_return errorResult(app.errorText());
    const bool force = getBoolArgument(arguments, "force", false);

    const Workspace* workspace = &m_workspace;
    auto quitting = QtConcurrent::run([workspace, name = *app, force] {
        QuitOutcome result;
        const auto application = findRunningApp(*workspace, name);
        if (!application)
            return result;
        result.found = true;
        result.name = application->localizedName.value_or(name);
        result.delivered = workspace->terminate(*application, force);
        return result;
    });
    const QuitOutcome outcome = co_await quitting;

    if (!outcome.found)
        co_return errorResult(QStringLiteral("Application not running: ") + *app);
    // Only delivery is known: the application may still be running.
    if (!outcome.delivered)
        co_return errorResult(QStringLiteral("Failed to quit: ") + outcome.name);
    co_return successResult(QStringLiteral("Successfully quit: ") + outcome.name);
}

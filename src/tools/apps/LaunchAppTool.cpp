#include "tools/apps/LaunchAppTool.h"

#include "platform/desktop/Workspace.h"
#include "platform/processes/Log.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

ZARNEL_LOGGING_CATEGORY(lcLaunchApp, "LaunchAppTool")

namespace {

struct LaunchOutcome {
    std::optional<ApplicationLocation> location;
    LaunchResult launch;
};

// By desktop-file id first (as list_running_apps prints it, with or without ".desktop"), then by
// the end of an id or by name, then as a program on the search path or at an absolute path.
std::optional<ApplicationLocation> findApplication(const Workspace& workspace, const QString& app)
{
    static const QLatin1String kDesktopSuffix(".desktop");
    if (app.endsWith(kDesktopSuffix) && app.size() > kDesktopSuffix.size()) {
        if (auto location = workspace.applicationWithIdentifier(app.chopped(kDesktopSuffix.size())))
            return location;
    }
    if (auto location = workspace.applicationWithIdentifier(app))
        return location;
    if (auto location = workspace.applicationWithShortName(app))
        return location;
    return workspace.executableNamed(app);
}

} // namespace

LaunchAppTool::LaunchAppTool(const Workspace& workspace)
    : BaseTool(lcLaunchApp())
    , m_workspace(workspace)
{
}

MCPTool LaunchAppTool::definition() const
{
    return makeDefinition(
        "launch_app", "Launch an application by name or desktop entry id. Can optionally hide, activate, or open with specific arguments.",
        {{"app", "string", "App name or desktop entry id (e.g., 'Text Editor' or 'org.gnome.TextEditor')"},
         {"activate", "boolean", "Bring app to foreground (default: true)"},
         {"hide", "boolean", "Launch app hidden (default: false)"},
         {"arguments", "string", "Command-line arguments to pass"}},
        {"app"});
}

QCoro::Task<MCPToolCallResponse> LaunchAppTool::execute(Arguments arguments, CancellationToken)
{
    const auto app = getStringArgument(arguments, "app", true);
    if (app.failed())
        co_return errorResult(app.errorText());
    LaunchOptions options;
    options.activate = getBoolArgument(arguments, "activate", true);
    options.hide = getBoolArgument(arguments, "hide", false);
    // No quoting is understood: every single space separates, so two in a row give an empty argument.
    if (const auto extra = getStringArgument(arguments, "arguments", false); extra.hasValue())
        options.arguments = extra->split(u' ');

    // The future is named: g++ 12 destroys a lambda's captures twice when the lambda is a
    // temporary inside co_await.
    const Workspace* workspace = &m_workspace;
    auto launching = QtConcurrent::run([workspace, name = *app, options] {
        LaunchOutcome result;
        result.location = findApplication(*workspace, name);
        if (result.location)
            result.launch = workspace->openApplication(*result.location, options);
        return result;
    });
    const LaunchOutcome outcome = co_await launching;

    if (!outcome.location)
        co_return errorResult(QStringLiteral("Application not found: ") + *app);
    if (!outcome.launch.launched) {
        qCCritical(logger(), "Failed to launch app: %s", qUtf8Printable(outcome.launch.errorDescription));
        co_return errorResult(QStringLiteral("Failed to launch app: ") + outcome.launch.errorDescription);
    }
    co_return successResult(QStringLiteral("Successfully launched: ") + outcome.location->name);
}

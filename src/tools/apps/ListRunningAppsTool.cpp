#include "tools/apps/ListRunningAppsTool.h"

#include "platform/Log.h"
#include "platform/Workspace.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcListRunningApps, "ListRunningAppsTool")

namespace {

QString describe(std::vector<RunningApplication> applications)
{
    // UTF-8 bytes order like code points; UTF-16 units would not beyond the BMP.
    std::vector<std::pair<QByteArray, const RunningApplication*>> byName;
    byName.reserve(applications.size());
    for (const RunningApplication& application : applications)
        byName.emplace_back(application.localizedName.value_or(QString()).toUtf8(), &application);
    std::stable_sort(byName.begin(), byName.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    QString text = QStringLiteral("Running Applications:\n\n");
    for (const auto& [name, application] : byName) {
        if (!application->localizedName)
            continue;
        text += application->isActive ? u'\u25CF' : u'\u25CB';
        text += u' ' + *application->localizedName + u'\n';
        text += QStringLiteral("   Bundle ID: ") + application->bundleIdentifier.value_or(QStringLiteral("unknown")) + u'\n';
        text += QStringLiteral("   PID: ") + QString::number(application->processIdentifier) + QStringLiteral("\n\n");
    }
    return text;
}

} // namespace

ListRunningAppsTool::ListRunningAppsTool(const Workspace& workspace)
    : BaseTool(lcListRunningApps())
    , m_workspace(workspace)
{
}

MCPTool ListRunningAppsTool::definition() const
{
    return makeDefinition("list_running_apps", "List all currently running applications with their bundle identifiers and process IDs.", {},
                          {});
}

QCoro::Task<MCPToolCallResponse> ListRunningAppsTool::execute(Arguments, CancellationToken)
{
    const Workspace* workspace = &m_workspace;
    auto listing = QtConcurrent::run([workspace] { return workspace->runningApplications(); });
    auto applications = co_await listing;
    co_return successResult(describe(std::move(applications)));
}

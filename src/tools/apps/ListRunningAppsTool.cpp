#include "tools/apps/ListRunningAppsTool.h"

#include "platform/desktop/Workspace.h"
#include "platform/processes/Log.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcListRunningApps, "ListRunningAppsTool")

namespace {

Json runningAppsContent(const std::vector<RunningApplication>& applications)
{
    Json list = Json::array();
    for (const RunningApplication& application : applications) {
        if (!application.localizedName)
            continue;
        Json item = {{"name", application.localizedName->toStdString()},
                     {"processId", application.processIdentifier},
                     {"active", application.isActive}};
        if (application.bundleIdentifier)
            item["bundleId"] = application.bundleIdentifier->toStdString();
        list.push_back(std::move(item));
    }
    return Json{{"applications", std::move(list)}};
}

Json runningAppsSchema()
{
    const Json application = {{"type", "object"},
                              {"properties",
                               {{"name", {{"type", "string"}}},
                                {"bundleId", {{"type", "string"}, {"description", "The desktop entry's identifier, when known"}}},
                                {"processId", {{"type", "integer"}}},
                                {"active", {{"type", "boolean"}, {"description", "Whether it owns the active window"}}}}},
                              {"required", {"name", "processId", "active"}}};
    return Json{{"type", "object"},
                {"properties", {{"applications", {{"type", "array"}, {"items", application}}}}},
                {"required", {"applications"}}};
}

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
        text += QStringLiteral("   Desktop entry ID: ") + application->bundleIdentifier.value_or(QStringLiteral("unknown")) + u'\n';
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
    MCPTool tool = makeDefinition("list_running_apps",
                                  "List all currently running applications with their desktop entry ids and process IDs.", {}, {});
    tool.outputSchema = runningAppsSchema();
    return tool;
}

QCoro::Task<MCPToolCallResponse> ListRunningAppsTool::execute(Arguments, CancellationToken)
{
    const Workspace* workspace = &m_workspace;
    auto listing = QtConcurrent::run([workspace] { return workspace->runningApplications(); });
    auto applications = co_await listing;
    Json structuredContent = runningAppsContent(applications);
    MCPToolCallResponse result = successResult(describe(std::move(applications)));
    result.structuredContent = std::move(structuredContent);
    co_return result;
}

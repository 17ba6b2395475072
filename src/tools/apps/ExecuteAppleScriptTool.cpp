#include "tools/apps/ExecuteAppleScriptTool.h"

#include "platform/processes/Log.h"

ZARNEL_LOGGING_CATEGORY(lcExecuteAppleScript, "ExecuteAppleScriptTool")

ExecuteAppleScriptTool::ExecuteAppleScriptTool()
    : BaseTool(lcExecuteAppleScript())
{
}

MCPTool ExecuteAppleScriptTool::definition() const
{
    return makeDefinition("execute_applescript",
                          "Not available on this system: AppleScript and JavaScript for Automation scripts cannot run on Linux, so "
                          "every call fails. Use execute_command to run shell commands and launch_app to start applications.",
                          {{"script", "string", "Script code (cannot run on this system; use execute_command instead)"},
                           {"language", "string", "Script language: 'applescript' or 'javascript' (neither can run on this system)",
                            std::vector<std::string>{"applescript", "javascript"}}},
                          {"script"});
}

QCoro::Task<MCPToolCallResponse> ExecuteAppleScriptTool::execute(Arguments arguments, CancellationToken)
{
    const auto script = getStringArgument(arguments, "script", true);
    if (script.failed())
        co_return errorResult(script.errorText());
    const QString message = QStringLiteral("AppleScript is not available on this system");
    qCCritical(logger(), "AppleScript error: %s", qUtf8Printable(message));
    co_return errorResult(QStringLiteral("AppleScript error: ") + message);
}

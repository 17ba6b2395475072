#include "tools/apps/ExecuteAppleScriptTool.h"

#include "platform/Log.h"

ZARNEL_LOGGING_CATEGORY(lcExecuteAppleScript, "ExecuteAppleScriptTool")

ExecuteAppleScriptTool::ExecuteAppleScriptTool()
    : BaseTool(lcExecuteAppleScript())
{
}

MCPTool ExecuteAppleScriptTool::definition() const
{
    return makeDefinition("execute_applescript", "Execute an AppleScript to control applications and system features.",
                          {{"script", "string", "AppleScript code to execute"},
                           {"language", "string", "Script language: 'applescript' or 'javascript' (default: applescript)",
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

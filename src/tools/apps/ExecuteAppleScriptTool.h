#pragma once

#include "tools/BaseTool.h"

// "execute_applescript": kept in the catalogue clients know, but this system has no AppleScript
// engine, so every script is answered with that error.
class ExecuteAppleScriptTool : public BaseTool {
public:
    ExecuteAppleScriptTool();

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;
};

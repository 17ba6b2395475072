#pragma once

#include "tools/BaseTool.h"

class Workspace;

// "list_running_apps": the user's running applications by name, the active one marked.
class ListRunningAppsTool : public BaseTool {
public:
    explicit ListRunningAppsTool(const Workspace& workspace);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    const Workspace& m_workspace;
};

#pragma once

#include "tools/BaseTool.h"

class Workspace;

// "launch_app": starts an installed application, found by identifier or name, or a program.
class LaunchAppTool : public BaseTool {
public:
    explicit LaunchAppTool(const Workspace& workspace);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    const Workspace& m_workspace;
};

#pragma once

#include "tools/BaseTool.h"

class Workspace;

// "quit_app": asks a running application to quit, or makes it.
class QuitAppTool : public BaseTool {
public:
    explicit QuitAppTool(const Workspace& workspace);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    const Workspace& m_workspace;
};

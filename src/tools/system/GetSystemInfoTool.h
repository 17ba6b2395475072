#pragma once

#include "tools/BaseTool.h"

#include <memory>

class SystemInformation;

// get_system_info: a text report of the operating system, hardware, memory, disk and uptime.
class GetSystemInfoTool final : public BaseTool {
public:
    explicit GetSystemInfoTool(std::shared_ptr<const SystemInformation> source);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    std::shared_ptr<const SystemInformation> m_source;
};

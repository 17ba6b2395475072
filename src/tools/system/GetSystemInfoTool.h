#pragma once

#include "tools/BaseTool.h"

#include <memory>

class FolderConfinement;
class SystemInformation;

// get_system_info: a text report of the operating system, hardware, memory, disk and uptime.
class GetSystemInfoTool final : public BaseTool {
public:
    // With folders set, the report also says whether commands are confined by the kernel.
    explicit GetSystemInfoTool(std::shared_ptr<const SystemInformation> source,
                               std::shared_ptr<const FolderConfinement> confinement = nullptr);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    std::shared_ptr<const SystemInformation> m_source;
    std::shared_ptr<const FolderConfinement> m_confinement;
};

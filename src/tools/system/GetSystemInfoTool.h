#pragma once

#include "tools/BaseTool.h"

#include <memory>

class SystemInformation;
struct SystemSnapshot;

// get_system_info: a text report of the operating system, hardware, memory, disk and uptime.
class GetSystemInfoTool final : public BaseTool {
public:
    // Without a source the running system is described.
    explicit GetSystemInfoTool(std::shared_ptr<const SystemInformation> source = nullptr);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

    // The report text for the source's current facts; other parts of the program show it too.
    QString systemReport() const;
    static QString report(const SystemSnapshot& facts);

private:
    std::shared_ptr<const SystemInformation> m_source;
};

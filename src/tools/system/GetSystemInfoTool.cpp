#include "tools/system/GetSystemInfoTool.h"

#include "platform/Log.h"
#include "platform/SystemReport.h"

ZARNEL_LOGGING_CATEGORY(lcGetSystemInfo, "GetSystemInfoTool")

GetSystemInfoTool::GetSystemInfoTool(std::shared_ptr<const SystemInformation> source)
    : BaseTool(lcGetSystemInfo())
    , m_source(std::move(source))
{
}

MCPTool GetSystemInfoTool::definition() const
{
    return makeDefinition("get_system_info", "Get comprehensive system information (OS version, hardware, memory, disk space, etc.).", {},
                          {});
}

QCoro::Task<MCPToolCallResponse> GetSystemInfoTool::execute(Arguments arguments, CancellationToken cancellation)
{
    (void)arguments;
    (void)cancellation;
    co_return successResult(SystemReport::current(*m_source));
}

#include "tools/system/GetSystemInfoTool.h"

#include "platform/processes/CommandSandbox.h"
#include "platform/processes/Log.h"
#include "platform/session/SystemInformation.h"
#include "platform/session/SystemReport.h"

ZARNEL_LOGGING_CATEGORY(lcGetSystemInfo, "GetSystemInfoTool")

namespace {

// The report's facts as a JSON object, in the shape the descriptor's outputSchema declares.
Json systemInfoContent(const SystemSnapshot& facts)
{
    Json out = {
        {"operatingSystem", facts.operatingSystem.toStdString()},
        {"kernelVersion", QStringLiteral("%1.%2.%3").arg(facts.kernelMajor).arg(facts.kernelMinor).arg(facts.kernelPatch).toStdString()},
        {"processorCount", facts.processorCount},
        {"activeProcessorCount", facts.activeProcessorCount},
        {"physicalMemoryBytes", facts.physicalMemoryBytes},
        {"hostName", facts.hostName.toStdString()},
        {"uptimeSeconds", facts.uptimeSeconds}};
    if (facts.rootTotalBytes && facts.rootFreeBytes) {
        out["diskTotalBytes"] = *facts.rootTotalBytes;
        out["diskFreeBytes"] = *facts.rootFreeBytes;
    }
    return out;
}

Json systemInfoSchema()
{
    const auto property = [](const char* type, const char* description) { return Json{{"type", type}, {"description", description}}; };
    return Json{{"type", "object"},
                {"properties",
                 {{"operatingSystem", property("string", "The distribution's name for itself")},
                  {"kernelVersion", property("string", "major.minor.patch")},
                  {"processorCount", property("integer", "Configured processors")},
                  {"activeProcessorCount", property("integer", "Processors online")},
                  {"physicalMemoryBytes", property("integer", "Installed memory in bytes")},
                  {"hostName", property("string", "The machine's name")},
                  {"diskTotalBytes", property("integer", "Size of the root file system in bytes")},
                  {"diskFreeBytes", property("integer", "Free space on the root file system in bytes")},
                  {"uptimeSeconds", property("number", "Seconds since the system started")}}},
                {"required",
                 {"operatingSystem", "kernelVersion", "processorCount", "activeProcessorCount", "physicalMemoryBytes", "hostName",
                  "uptimeSeconds"}}};
}

} // namespace

GetSystemInfoTool::GetSystemInfoTool(std::shared_ptr<const SystemInformation> source, std::shared_ptr<const FolderConfinement> confinement)
    : BaseTool(lcGetSystemInfo())
    , m_source(std::move(source))
    , m_confinement(std::move(confinement))
{
}

MCPTool GetSystemInfoTool::definition() const
{
    MCPTool tool =
        makeDefinition("get_system_info", "Get comprehensive system information (OS version, hardware, memory, disk space, etc.).", {}, {});
    tool.outputSchema = systemInfoSchema();
    return tool;
}

QCoro::Task<MCPToolCallResponse> GetSystemInfoTool::execute(Arguments arguments, CancellationToken cancellation)
{
    (void)arguments;
    (void)cancellation;
    const SystemSnapshot facts = m_source->snapshot();
    QString report = SystemReport::render(facts);
    if (m_confinement) {
        const EffectiveFolders folders = m_confinement->effective();
        if (folders.confinesCommands()) {
            const auto reason = CommandSandbox::unavailableReason(folders);
            report += reason ? QStringLiteral("Commands: cannot be confined on this system (%1); they are refused\n").arg(*reason)
                             : QStringLiteral("Commands: confined by the kernel\n");
        }
    }
    MCPToolCallResponse result = successResult(report);
    result.structuredContent = systemInfoContent(facts);
    co_return result;
}

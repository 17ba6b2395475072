#include "tools/system/GetSystemInfoTool.h"

#include "platform/files/FolderConfinement.h"
#include "platform/session/SystemInformation.h"
#include "platform/session/SystemReport.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

namespace {

class FixedSystemInformation final : public SystemInformation {
public:
    explicit FixedSystemInformation(SystemSnapshot facts)
        : m_facts(std::move(facts))
    {
    }
    SystemSnapshot snapshot() const override { return m_facts; }

private:
    SystemSnapshot m_facts;
};

SystemSnapshot exampleMachine()
{
    return {.operatingSystem = QStringLiteral("Debian GNU/Linux 12 (bookworm)"),
            .kernelMajor = 6,
            .kernelMinor = 1,
            .kernelPatch = 76,
            .processorCount = 8,
            .activeProcessorCount = 6,
            .physicalMemoryBytes = 16ull * 1024 * 1024 * 1024,
            .hostName = QStringLiteral("workstation"),
            .rootTotalBytes = 500'000'000'000ull,
            .rootFreeBytes = 125'000'000'000ull,
            .uptimeSeconds = 90061.9};
}

} // namespace

TEST(GetSystemInfo, LaysOutTheReport)
{
    EXPECT_EQ(success(callTool(GetSystemInfoTool(std::make_shared<FixedSystemInformation>(exampleMachine())))),
              "System Information:\n\n"
              "Operating System: Debian GNU/Linux 12 (bookworm)\n"
              "Kernel Version: 6.1.76\n\n"
              "Hardware:\n"
              "- Processor Count: 8 cores\n"
              "- Active Processor Count: 6 cores\n"
              "- Physical Memory: 16.0 GiB\n"
              "Hostname: workstation\n\n"
              "Disk Space:\n"
              "- Total: 500.0 GB\n"
              "- Free: 125.0 GB\n"
              "- Used: 375.0 GB\n\n"
              "System Uptime: 1d 1h 1m\n");
}

TEST(GetSystemInfo, LeavesOutTheDiskWhenItsSizesAreUnknown)
{
    SystemSnapshot facts = exampleMachine();
    facts.rootFreeBytes.reset();
    facts.uptimeSeconds = 59;
    const QString report = SystemReport::render(facts);
    EXPECT_FALSE(report.contains(QStringLiteral("Disk Space")));
    EXPECT_TRUE(report.endsWith(QStringLiteral("Hostname: workstation\n\nSystem Uptime: 0d 0h 0m\n")));
}

TEST(GetSystemInfo, SaysHowCommandsAreConfinedOnlyOnceFoldersAreSet)
{
    auto confinement = std::make_shared<FolderConfinement>();
    GetSystemInfoTool tool(std::make_shared<FixedSystemInformation>(exampleMachine()), confinement);
    const std::string plain = SystemReport::render(exampleMachine()).toStdString();
    EXPECT_EQ(success(callTool(tool)), plain);
    confinement->setRules(FolderRules{{QStringLiteral("/tmp")}, {}, true});
    const std::string confined = success(callTool(tool));
    EXPECT_TRUE(confined == plain + "Commands: confined by the kernel\n"
                || confined.starts_with(plain + "Commands: cannot be confined on this system ("))
        << confined;
}

#include "platform/session/SystemReport.h"

#include "platform/session/SystemInformation.h"

#include <QLocale>

#include <cmath>

namespace {

QString memorySize(quint64 bytes)
{
    return QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeIecFormat);
}

QString fileSize(quint64 bytes)
{
    return QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeSIFormat);
}

} // namespace

namespace SystemReport {

QString render(const SystemSnapshot& facts)
{
    QString text = QStringLiteral("System Information:\n\nOperating System: ") + facts.operatingSystem
        + QStringLiteral("\nKernel Version: %1.%2.%3").arg(facts.kernelMajor).arg(facts.kernelMinor).arg(facts.kernelPatch);
    text += QStringLiteral("\n\nHardware:\n- Processor Count: %1 cores\n- Active Processor Count: %2 cores\n- Physical Memory: %3\n")
                .arg(facts.processorCount)
                .arg(facts.activeProcessorCount)
                .arg(memorySize(facts.physicalMemoryBytes));
    text += QStringLiteral("Hostname: ") + facts.hostName + QStringLiteral("\n\n");
    if (facts.rootTotalBytes && facts.rootFreeBytes) {
        const quint64 total = *facts.rootTotalBytes;
        const quint64 free = *facts.rootFreeBytes;
        text += QStringLiteral("Disk Space:\n- Total: %1\n- Free: %2\n- Used: %3\n\n")
                    .arg(fileSize(total), fileSize(free), fileSize(total >= free ? total - free : 0));
    }
    const double uptime = facts.uptimeSeconds;
    const auto days = static_cast<qint64>(std::trunc(uptime / 86400));
    const auto hours = static_cast<qint64>(std::trunc(std::fmod(uptime, 86400) / 3600));
    const auto minutes = static_cast<qint64>(std::trunc(std::fmod(uptime, 3600) / 60));
    text += QStringLiteral("System Uptime: %1d %2h %3m\n").arg(days).arg(hours).arg(minutes);
    return text;
}

QString current(const SystemInformation& source)
{
    return render(source.snapshot());
}

} // namespace SystemReport

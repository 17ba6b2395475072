#include "platform/session/LinuxSystemInformation.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

void LinuxSystemInformation::parseKernelRelease(const QString& release, int* major, int* minor, int* patch)
{
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const auto match = numbers.match(release);
    *major = match.captured(1).toInt();
    *minor = match.captured(2).toInt();
    *patch = match.captured(3).toInt();
}

SystemSnapshot LinuxSystemInformation::snapshot() const
{
    SystemSnapshot facts;
    facts.operatingSystem = QSysInfo::prettyProductName();
    parseKernelRelease(QSysInfo::kernelVersion(), &facts.kernelMajor, &facts.kernelMinor, &facts.kernelPatch);
    facts.processorCount = static_cast<int>(::sysconf(_SC_NPROCESSORS_CONF));
    facts.activeProcessorCount = static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN));
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        facts.physicalMemoryBytes = static_cast<quint64>(pages) * static_cast<quint64>(pageSize);
    facts.hostName = QSysInfo::machineHostName();

    struct statvfs root;
    if (::statvfs("/", &root) == 0) {
        facts.rootTotalBytes = static_cast<quint64>(root.f_blocks) * root.f_frsize;
        facts.rootFreeBytes = static_cast<quint64>(root.f_bfree) * root.f_frsize;
    }

    QFile uptime(QStringLiteral("/proc/uptime"));
    bool parsed = false;
    if (uptime.open(QIODevice::ReadOnly))
        facts.uptimeSeconds = QString::fromLatin1(uptime.readAll()).section(QLatin1Char(' '), 0, 0).toDouble(&parsed);
    if (!parsed) {
        struct sysinfo info;
        if (::sysinfo(&info) == 0)
            facts.uptimeSeconds = static_cast<double>(info.uptime);
    }
    return facts;
}

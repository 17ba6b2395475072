#pragma once

#include "platform/session/SystemInformation.h"

// The running system's facts from os-release, uname, sysconf, statvfs and /proc/uptime.
class LinuxSystemInformation final : public SystemInformation {
public:
    SystemSnapshot snapshot() const override;

    // "6.1.0-18-amd64" → 6, 1, 0; missing numbers are 0.
    static void parseKernelRelease(const QString& release, int* major, int* minor, int* patch);
};

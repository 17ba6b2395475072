#pragma once

#include <QString>

#include <optional>

// Facts about the machine, read at one moment.
struct SystemSnapshot {
    QString operatingSystem; // the distribution's name for itself
    int kernelMajor = 0;
    int kernelMinor = 0;
    int kernelPatch = 0;
    int processorCount = 0;       // configured processors
    int activeProcessorCount = 0; // processors online
    quint64 physicalMemoryBytes = 0;
    QString hostName;
    // Absent when the root file system's sizes cannot be read.
    std::optional<quint64> rootTotalBytes;
    std::optional<quint64> rootFreeBytes;
    double uptimeSeconds = 0;
};

class SystemInformation {
public:
    virtual ~SystemInformation() = default;
    virtual SystemSnapshot snapshot() const = 0;
};

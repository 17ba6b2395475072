#pragma once

#include <QString>

// Sizes for people, in decimal units with the unit named: "0 bytes", "1 byte", "512 bytes",
// "1.2 KB", "3.4 MB", "1 GB" (one decimal at most, a trailing ".0" left out).
class ByteCountFormatter {
public:
    static QString fileSize(qint64 bytes);
};

#include "platform/files/ByteCountFormatter.h"

#include <cmath>

QString ByteCountFormatter::fileSize(qint64 bytes)
{
    if (bytes == 1 || bytes == -1)
        return QString::number(bytes) + QStringLiteral(" byte");
    if (bytes > -1000 && bytes < 1000)
        return QString::number(bytes) + QStringLiteral(" bytes");

    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes);
    int unit = -1;
    // Divide first, round second, and move up a unit when rounding reaches 1000 ("1 MB", not
    // "1000 KB").
    do {
        value /= 1000.0;
        ++unit;
    } while (std::abs(std::round(value * 10.0) / 10.0) >= 1000.0 && unit < 5);
    const double rounded = std::round(value * 10.0) / 10.0;
    return QString::number(rounded, 'f', rounded == std::trunc(rounded) ? 0 : 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

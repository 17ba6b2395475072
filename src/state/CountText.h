#pragma once

#include <QString>

// "1 connection", "2 connections", "0 connections": every count a person reads agrees with its
// noun.
inline QString countText(qint64 count, const QString& singular, const QString& plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? singular : plural);
}

#pragma once

#include <QFile>
#include <QMap>
#include <QString>

// The groups of a ".desktop" file, each a map of its keys to their raw values. Read by hand:
// QSettings takes the ';' of a list for the start of a comment.
inline QMap<QString, QMap<QString, QString>> desktopFileGroups(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QMap<QString, QMap<QString, QString>> groups;
    QString group;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            group = line.mid(1, line.size() - 2);
        else if (const qsizetype equals = line.indexOf(QLatin1Char('=')); equals > 0)
            groups[group][line.left(equals)] = line.mid(equals + 1);
    }
    return groups;
}

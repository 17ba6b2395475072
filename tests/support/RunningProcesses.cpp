#include "support/RunningProcesses.h"

#include <QDir>
#include <QFile>

int runningSleeps(const QStringList& durations)
{
    int count = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!commandLine.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> words = commandLine.readAll().split('\0');
        const QByteArray status = stat.readAll();
        const bool zombie = status.mid(status.lastIndexOf(')') + 2, 1) == "Z";
        if (!zombie && words.size() >= 2 && words[0].endsWith("sleep") && durations.contains(QString::fromLatin1(words[1])))
            ++count;
    }
    return count;
}

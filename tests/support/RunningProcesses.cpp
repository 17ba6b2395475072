#include "support/RunningProcesses.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace {

bool isZombie(const QByteArray& stat)
{
    return stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

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
        const bool zombie = isZombie(status);
        if (!zombie && words.size() >= 2 && words[0].endsWith("sleep") && durations.contains(QString::fromLatin1(words[1])))
            ++count;
    }
    return count;
}

bool isRunningProcess(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return pid > 0 && stat.open(QIODevice::ReadOnly) && !isZombie(stat.readAll());
}

bool waitUntilEnded(qint64 pid, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (isRunningProcess(pid) && !deadline.hasExpired())
        QThread::msleep(20);
    return !isRunningProcess(pid);
}

std::optional<qint64> waitForPidFile(const QString& path, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            bool ok = false;
            const qint64 pid = file.readAll().trimmed().toLongLong(&ok);
            if (ok)
                return pid;
        }
        QThread::msleep(20);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

#include "platform/processes/ProcessTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <optional>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString procPath(qint32 pid, const char* item)
{
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(item));
}

QByteArray readProcFile(qint32 pid, const char* item)
{
    // /proc files report a size of 0: read until the end rather than by size.
    QFile file(procPath(pid, item));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.readAll();
}

std::optional<uid_t> realUser(qint32 pid)
{
    const QByteArray status = readProcFile(pid, "status");
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
        bool ok = false;
        const uint uid = fields.value(0).toUInt(&ok);
        return ok ? std::optional<uid_t>(uid) : std::nullopt;
    }
    return std::nullopt;
}

qint32 parentOf(qint32 pid)
{
    // The command name in parentheses may itself hold spaces and parentheses: the fields
    // after it start past the last ')'.
    const QByteArray stat = readProcFile(pid, "stat");
    const auto close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.value(1).toInt();
}

QString linkTarget(qint32 pid, const char* item)
{
    QString target = QFile::symLinkTarget(procPath(pid, item));
    // A program replaced since it started (an upgrade) still names its old path this way.
    static const QString kDeleted = QStringLiteral(" (deleted)");
    if (target.endsWith(kDeleted))
        target.chop(kDeleted.size());
    return target;
}

} // namespace

namespace ProcessTable {

std::vector<ProcessInfo> processesOfCurrentUser()
{
    const uid_t self = getuid();
    std::vector<qint32> pids;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint32 pid = name.toInt(&ok);
        if (ok && pid > 0)
            pids.push_back(pid);
    }
    std::sort(pids.begin(), pids.end());

    std::vector<ProcessInfo> processes;
    for (const qint32 pid : pids) {
        if (realUser(pid) != self)
            continue;
        ProcessInfo info;
        info.pid = pid;
        info.executable = linkTarget(pid, "exe");
        if (info.executable.isEmpty())
            continue;
        info.parentPid = parentOf(pid);
        QByteArray commandLine = readProcFile(pid, "cmdline");
        if (commandLine.endsWith('\0'))
            commandLine.chop(1);
        for (const QByteArray& argument : commandLine.split('\0'))
            info.arguments << QFile::decodeName(argument);
        info.workingDirectory = linkTarget(pid, "cwd");
        processes.push_back(std::move(info));
    }
    return processes;
}

bool sendTermination(qint32 pid, bool force)
{
    if (pid <= 1 || pid == getpid() || realUser(pid) != getuid())
        return false;
    return ::kill(pid, force ? SIGKILL : SIGTERM) == 0;
}

} // namespace ProcessTable

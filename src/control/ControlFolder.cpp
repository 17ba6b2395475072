#include "control/ControlFolder.h"

#include "platform/session/PeerCredentials.h"
#include "platform/store/PrivateFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <algorithm>

namespace {

const QString kSocketSuffix = QStringLiteral(".sock");

} // namespace

ControlFolder::ControlFolder()
    : m_path(defaultPath())
{
}

ControlFolder::ControlFolder(const QString& path)
    : m_path(path)
{
}

QString ControlFolder::defaultPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/zarnel");
    if (const auto found = PeerCredentials::userRuntimeFolder())
        return *found + QStringLiteral("/zarnel");
    return QStringLiteral("/tmp/zarnel-%1").arg(PeerCredentials::currentUserId());
}

bool ControlFolder::prepare()
{
    const auto problem = PrivateFolder::prepare(m_path);
    m_problem = problem.value_or(QString());
    return !problem;
}

bool ControlFolder::isUsable() const
{
    return PrivateFolder::isPrivate(m_path);
}

QString ControlFolder::socketPath(qint64 pid) const
{
    return m_path + QLatin1Char('/') + QString::number(pid) + kSocketSuffix;
}

QList<qint64> ControlFolder::socketProcessIds() const
{
    QList<qint64> pids;
    // Matched by hand, and listed without QDir: a name filter (QDir's own default "*" too) is a
    // regular expression compiled on every call, and this runs every few seconds in every process.
    QDirIterator entries(m_path, QDir::System | QDir::Files);
    while (entries.hasNext()) {
        const QString name = entries.nextFileInfo().fileName();
        if (!name.endsWith(kSocketSuffix))
            continue;
        bool ok = false;
        const qint64 pid = name.chopped(kSocketSuffix.size()).toLongLong(&ok);
        if (ok && pid > 0)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool ControlFolder::removeIfAbandoned(qint64 pid) const
{
    if (PeerCredentials::processExists(pid))
        return false;
    QFile::remove(socketPath(pid));
    return true;
}

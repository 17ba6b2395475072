#include "control/ControlFolder.h"

#include "platform/session/PeerCredentials.h"
#include "platform/store/PrivateFolder.h"

#include <QDir>
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
    // Matched by hand: a name filter is a regular expression compiled on every call, and this
    // runs every few seconds in every process.
    const QStringList names = QDir(m_path).entryList(QDir::System | QDir::Files);
    for (const QString& name : names) {
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

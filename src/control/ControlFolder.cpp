#include "control/ControlFolder.h"

#include "platform/session/PeerCredentials.h"
#include "platform/store/PrivateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

namespace {

const QString kSocketSuffix = QStringLiteral(".sock");
constexpr qsizetype kTokenBytes = 32;

bool isToken(const QByteArray& text)
{
    return text.size() == 2 * kTokenBytes
        && std::all_of(text.cbegin(), text.cend(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

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

QString ControlFolder::tokenPath() const
{
    return m_path + QStringLiteral("/token");
}

QByteArray ControlFolder::readToken() const
{
    QFile file(tokenPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.read(2 * kTokenBytes + 2).trimmed();
    return isToken(text) ? text : QByteArray();
}

QByteArray ControlFolder::token() const
{
    if (QByteArray existing = readToken(); !existing.isEmpty())
        return existing;
    std::array<quint32, kTokenBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray made = QByteArray(reinterpret_cast<const char*>(words.data()), kTokenBytes).toHex();
    // Written aside and moved into place only where there is none, so that processes starting
    // together all take the first one's; a file that holds no token is replaced.
    const QString aside = tokenPath() + QLatin1Char('.') + QString::number(QCoreApplication::applicationPid());
    QFile::remove(aside);
    QFile file(aside);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return {};
    const bool written = file.write(made + '\n') == made.size() + 1 && file.flush();
    file.close();
    if (written && !QFile::rename(aside, tokenPath()) && readToken().isEmpty()) {
        QFile::remove(tokenPath());
        QFile::rename(aside, tokenPath());
    }
    QFile::remove(aside);
    return readToken();
}

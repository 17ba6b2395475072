#include "platform/session/PeerCredentials.h"

#include "platform/store/PrivateFolder.h"

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace PeerCredentials {

quint32 currentUserId()
{
    return ::getuid();
}

namespace {

std::optional<struct ucred> peerOf(qintptr socketDescriptor)
{
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0
        || length != sizeof credentials)
        return std::nullopt;
    return credentials;
}

} // namespace

std::optional<quint32> peerUserId(qintptr socketDescriptor)
{
    const auto peer = peerOf(socketDescriptor);
    return peer ? std::optional<quint32>(peer->uid) : std::nullopt;
}

std::optional<qint64> peerProcessId(qintptr socketDescriptor)
{
    const auto peer = peerOf(socketDescriptor);
    return peer ? std::optional<qint64>(peer->pid) : std::nullopt;
}

bool processExists(qint64 pid)
{
    if (pid <= 0)
        return false;
    // EPERM means it exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::optional<QString> userRuntimeFolder()
{
    const QString folder = QStringLiteral("/run/user/%1").arg(::getuid());
    if (PrivateFolder::isPrivate(folder))
        return folder;
    return std::nullopt;
}

} // namespace PeerCredentials

#include "platform/session/LocalListener.h"

#include "platform/processes/Log.h"
#include "platform/session/UnixSocket.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

ZARNEL_LOGGING_CATEGORY(lcListener, "LocalListener")

namespace {

// Taken in one go before other events get their turn; the rest wait in the backlog.
constexpr int kAcceptsPerWake = 64;
// How long accepting rests after a failure that taking and closing cannot cure.
constexpr int kPauseMs = 100;

int openReserve()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

int acceptOne(int listening)
{
    return ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

} // namespace

LocalListener::LocalListener(QObject* parent)
    : QObject(parent)
{
}

LocalListener::~LocalListener()
{
    close();
}

bool LocalListener::listen(const QString& path)
{
    close();
    const QByteArray encoded = path.toLocal8Bit();
    struct sockaddr_un address {};
    if (!UnixSocket::addressOf(encoded, address)) {
        m_error = QStringLiteral("the socket path is too long");
        return false;
    }
    struct stat existing {};
    if (::lstat(encoded.constData(), &existing) == 0 && S_ISSOCK(existing.st_mode))
        ::unlink(encoded.constData());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0;
    struct stat made {};
    if (!bound || ::chmod(encoded.constData(), S_IRUSR | S_IWUSR) != 0 || ::lstat(encoded.constData(), &made) != 0
        || ::listen(fd, SOMAXCONN) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (bound)
            ::unlink(encoded.constData());
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_inode = made.st_ino;
    m_reserve = openReserve();
    m_notifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalListener::acceptPending);
    return true;
}

void LocalListener::close()
{
    if (m_fd < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
    // Only our own socket: another process may have put its own there since.
    const QByteArray encoded = m_path.toLocal8Bit();
    struct stat current {};
    if (::lstat(encoded.constData(), &current) == 0 && current.st_ino == m_inode)
        ::unlink(encoded.constData());
    if (m_reserve >= 0)
        ::close(m_reserve);
    m_reserve = -1;
}

void LocalListener::acceptPending()
{
    for (int taken = 0; taken < kAcceptsPerWake && m_fd >= 0; ++taken) {
        const int fd = acceptOne(m_fd);
        if (fd >= 0) {
            Q_EMIT connectionAccepted(new UnixSocket(fd, this));
            continue;
        }
        switch (errno) {
        case EINTR:
        case ECONNABORTED:
        case EPROTO: continue;
        case EAGAIN: return;
        case EMFILE:
        case ENFILE:
            if (turnAwayWithReserve())
                continue;
            pause();
            return;
        default:
            qCWarning(lcListener, "accepting a connection failed: %s", std::strerror(errno));
            pause();
            return;
        }
    }
}

bool LocalListener::turnAwayWithReserve()
{
    // Left waiting, the connection would wake us again at once, for ever.
    if (m_reserve < 0)
        return false;
    ::close(m_reserve);
    const int fd = acceptOne(m_fd);
    if (fd >= 0)
        ::close(fd);
    m_reserve = openReserve();
    if (fd < 0)
        return false;
    qCWarning(lcListener, "turned a connection away: no file descriptor left for it");
    Q_EMIT connectionTurnedAway();
    return true;
}

void LocalListener::pause()
{
    if (!m_notifier)
        return;
    m_notifier->setEnabled(false);
    QTimer::singleShot(kPauseMs, m_notifier, [notifier = m_notifier] { notifier->setEnabled(true); });
}

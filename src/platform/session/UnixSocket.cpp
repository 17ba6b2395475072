#include "platform/session/UnixSocket.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// What one wake-up reads before others get their turn.
constexpr std::size_t kSocketReadChunk = 64 * 1024;

timeval asTimeval(std::chrono::milliseconds timeout)
{
    // Zero would mean no limit at all.
    const auto ms = std::max<std::chrono::milliseconds::rep>(1, timeout.count());
    return timeval{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
}

} // namespace

UnixSocket::UnixSocket(QObject* parent)
    : QObject(parent)
{
}

UnixSocket::UnixSocket(int connectedDescriptor, QObject* parent)
    : QObject(parent)
{
    adopt(connectedDescriptor);
}

UnixSocket::~UnixSocket()
{
    closeDescriptor();
}

bool UnixSocket::connectTo(const QString& path, std::chrono::milliseconds timeout)
{
    abort();
    m_error.clear();
    const QByteArray encoded = path.toLocal8Bit();
    struct sockaddr_un address {};
    if (!addressOf(encoded, address)) {
        m_error = QStringLiteral("the socket path is too long");
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // A listener whose queue is full keeps a blocking connect waiting; the kernel bounds that wait
    // by the send time limit, so the event loop is held no longer than asked.
    const QDeadlineTimer deadline(timeout);
    int result = -1;
    do {
        const timeval limit = asTimeval(std::chrono::milliseconds(deadline.remainingTime()));
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        result = ::connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR && !deadline.hasExpired());
    if (result != 0) {
        m_error = errno == EAGAIN || errno == EINPROGRESS ? QStringLiteral("no connection within %1 ms").arg(timeout.count())
                                                          : QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    adopt(fd);
    return true;
}

bool UnixSocket::addressOf(const QByteArray& path, sockaddr_un& address)
{
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

void UnixSocket::adopt(int fd)
{
    m_fd = fd;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    // A caller before the event loop exists (a blocking question at start) waits with poll().
    if (!QAbstractEventDispatcher::instance(thread()))
        return;
    m_readNotifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &UnixSocket::receiveAvailable);
    m_writeNotifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &UnixSocket::sendPending);
}

void UnixSocket::write(const QByteArray& bytes)
{
    if (m_fd < 0 || bytes.isEmpty())
        return;
    m_pending += bytes;
    sendPending();
}

QByteArray UnixSocket::readAll()
{
    return std::exchange(m_received, QByteArray());
}

QByteArray UnixSocket::readLine()
{
    const qsizetype end = m_received.indexOf('\n');
    if (end < 0)
        return {};
    QByteArray line = m_received.left(end + 1);
    m_received.remove(0, end + 1);
    return line;
}

void UnixSocket::sendPending()
{
    while (m_fd >= 0 && !m_pending.isEmpty()) {
        const ssize_t sent = ::send(m_fd, m_pending.constData(), static_cast<std::size_t>(m_pending.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            m_pending.remove(0, sent);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            if (m_writeNotifier)
                m_writeNotifier->setEnabled(true);
            return;
        }
        // The other end is gone: what it sent before going may still wait to be read.
        m_pending.clear();
        receiveAvailable();
        abort();
        return;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    if (m_closeWhenWritten && m_pending.isEmpty())
        abort();
}

bool UnixSocket::receive()
{
    char chunk[kSocketReadChunk];
    for (;;) {
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            m_received.append(chunk, got);
            if (static_cast<std::size_t>(got) < sizeof chunk)
                return true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && errno == EAGAIN;
    }
}

void UnixSocket::receiveAvailable()
{
    if (m_fd < 0)
        return;
    const qsizetype before = m_received.size();
    const bool open = receive();
    QPointer<UnixSocket> self(this);
    if (m_received.size() > before)
        Q_EMIT readyRead();
    if (self && !open)
        abort();
}

bool UnixSocket::waitForReadyRead(std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (m_fd >= 0) {
        const qsizetype before = m_received.size();
        struct pollfd watched {
            m_fd, static_cast<short>(POLLIN | (m_pending.isEmpty() ? 0 : POLLOUT)), 0
        };
        const int ready = ::poll(&watched, 1, static_cast<int>(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        if (watched.revents & POLLOUT)
            sendPending();
        if (m_fd >= 0 && (watched.revents & (POLLIN | POLLHUP | POLLERR))) {
            const bool open = receive();
            const bool arrived = m_received.size() > before;
            if (arrived)
                Q_EMIT readyRead();
            if (!open)
                abort();
            if (arrived)
                return true;
        }
    }
    return false;
}

void UnixSocket::disconnectFromServer()
{
    if (m_pending.isEmpty()) {
        abort();
        return;
    }
    m_closeWhenWritten = true;
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
}

void UnixSocket::abort()
{
    m_pending.clear();
    if (m_fd < 0)
        return;
    closeDescriptor();
    Q_EMIT disconnected();
}

void UnixSocket::closeDescriptor()
{
    // Later: this may run inside one of their own signals.
    for (QSocketNotifier* notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_closeWhenWritten = false;
}

#include "platform/processes/PosixStandardStreams.h"

#include "platform/processes/Log.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <unistd.h>

ZARNEL_LOGGING_CATEGORY(lcStreams, "StandardStreams")

namespace {

// Large enough that a 5 MiB line takes a handful of reads, small enough to stay cheap per
// wake-up for the usual short requests.
constexpr qsizetype kInputChunk = 256 * 1024;

} // namespace

PosixStandardStreams::PosixStandardStreams(int inputFd, int outputFd, QObject* parent)
    : StandardStreams(parent)
    , m_inputFd(inputFd)
    , m_outputFd(outputFd)
{
}

PosixStandardStreams::~PosixStandardStreams() = default;

bool PosixStandardStreams::inputIsTerminal() const
{
    return ::isatty(m_inputFd) == 1;
}

void PosixStandardStreams::ignoreWriteFailureSignals()
{
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void PosixStandardStreams::startReading()
{
    if (m_ended) {
        // Input is at its end for good; say so again to the new listener.
        QMetaObject::invokeMethod(this, &StandardStreams::inputEnded, Qt::QueuedConnection);
        return;
    }
    if (!m_notifier) {
        m_notifier = new QSocketNotifier(m_inputFd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PosixStandardStreams::readAvailableInput);
    }
    m_notifier->setEnabled(true);
}

void PosixStandardStreams::stopReading()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
}

void PosixStandardStreams::readAvailableInput()
{
    // The descriptor stays blocking (it is shared with our parent); the notifier has just said
    // that a read will not wait, and one read per wake-up keeps that promise.
    m_buffer.resize(kInputChunk);
    ssize_t count;
    do {
        count = ::read(m_inputFd, m_buffer.data(), static_cast<size_t>(kInputChunk));
    } while (count < 0 && errno == EINTR);

    if (count > 0) {
        Q_EMIT bytesReceived(QByteArray(m_buffer.constData(), count));
        return;
    }
    if (count < 0 && errno == EAGAIN)
        return;
    if (count < 0)
        qCCritical(lcStreams, "Error reading from stdin: %s", std::strerror(errno));
    m_ended = true;
    m_notifier->setEnabled(false);
    Q_EMIT inputEnded();
}

bool PosixStandardStreams::outputClosed() const
{
    // A pipe whose reader has gone reports an error, a socket whose peer has gone a hang-up;
    // a terminal or a file never does.
    pollfd output{m_outputFd, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

bool PosixStandardStreams::writeAll(const char* data, qsizetype size, QString* error)
{
    qsizetype left = size;
    while (left > 0) {
        const ssize_t written = ::write(m_outputFd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Our parent may have handed us a non-blocking pipe: wait until it drains.
                pollfd waitFor{m_outputFd, POLLOUT, 0};
                ::poll(&waitFor, 1, -1);
                continue;
            }
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

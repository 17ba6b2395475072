#include "platform/processes/InputHangUpWatch.h"

#include <cerrno>
#include <poll.h>

InputHangUpWatch::InputHangUpWatch(int fd, QObject* parent)
    : QObject(parent)
    , m_fd(fd)
{
    m_timer.setInterval(kInterval);
    connect(&m_timer, &QTimer::timeout, this, &InputHangUpWatch::check);
}

void InputHangUpWatch::setActive(bool active)
{
    if (active == m_timer.isActive())
        return;
    if (!active) {
        m_timer.stop();
        return;
    }
    m_timer.start();
    // A client gone before the watch began is seen at once, from the event loop: whoever
    // activated the watch finishes what it does first.
    QTimer::singleShot(0, this, &InputHangUpWatch::check);
}

bool InputHangUpWatch::hasHungUp(int fd)
{
    // Readable data is not asked about, so bytes left unread do not hide the hang-up: a pipe
    // reports POLLHUP once its writers are gone, a socket POLLRDHUP once its peer shut down
    // its sending side (and POLLHUP once it closed).
    pollfd input{fd, POLLRDHUP, 0};
    int ready;
    do {
        ready = ::poll(&input, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready == 1 && (input.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) != 0;
}

void InputHangUpWatch::check()
{
    if (!m_timer.isActive() || !hasHungUp(m_fd))
        return;
    m_timer.stop();
    Q_EMIT hungUp();
}

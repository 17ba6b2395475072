#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// Notices that the writer of an input descriptor has gone (a pipe's last writer closed it, a
// socket's peer shut it down) without reading anything from it: what a client sent while
// nobody was reading stays where it is. Looks while active, every interval.
class InputHangUpWatch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kInterval{500};

    explicit InputHangUpWatch(int fd = 0, QObject* parent = nullptr);

    void setActive(bool active);
    bool isActive() const { return m_timer.isActive(); }

    // Whether the writer has gone; never for a terminal that is still there, a file or the null
    // device.
    static bool hasHungUp(int fd);

Q_SIGNALS:
    // Once; the watch is inactive afterwards.
    void hungUp();

private:
    void check();

    int m_fd;
    QTimer m_timer;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

// `co_await NextSignal(sender, &Sender::signal, limit)`: true when the signal came, false when
// the time ran out or the sender was deleted first.
//
// QCoro's own signal wait queues its wake-ups on the sender and cannot take them back: a second
// emission in the same pass of the event loop, or one queued just as the time ran out, resumes a
// coroutine frame that is gone. This one listens through an object of its own, a child of the
// sender, deleted when the wait ends; queued calls go with their receiver, so whatever comes
// later reaches nothing. Copyable, as g++ 12 copies an awaiter: the copies share one listener,
// ended with the last.
class NextSignalListener : public QObject {
public:
    explicit NextSignalListener(QObject* sender)
        : QObject(sender)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { finish(false); });
        m_timer.setSingleShot(true);
    }
    // Deleted with the sender while a wait is on: the wait ends without the signal, where it
    // would otherwise stay suspended for good.
    ~NextSignalListener() override { finish(false); }

    void start(std::coroutine_handle<> waiting, std::optional<std::chrono::milliseconds> limit)
    {
        m_waiting = waiting;
        if (limit)
            m_timer.start(*limit);
    }
    void finish(bool came)
    {
        if (!m_waiting)
            return;
        m_came = came;
        m_timer.stop();
        std::exchange(m_waiting, {}).resume();
    }
    bool came() const { return m_came; }
    // The wait is over: nothing resumes it any more. Deleted later, not in one of its own calls.
    void end()
    {
        m_waiting = {};
        m_timer.stop();
        QObject::disconnect(parent(), nullptr, this, nullptr);
        deleteLater();
    }

private:
    QTimer m_timer;
    std::coroutine_handle<> m_waiting;
    bool m_came = false;
};

class NextSignal {
public:
    template <typename Sender, typename Signal>
    NextSignal(Sender* sender, Signal signal, std::optional<std::chrono::milliseconds> limit = std::nullopt)
        : m_listener(std::make_shared<Ending>(new NextSignalListener(sender)))
        , m_limit(limit)
    {
        NextSignalListener* listener = m_listener->listener;
        QObject::connect(
            sender, signal, listener, [listener] { listener->finish(true); }, Qt::QueuedConnection);
    }

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) { m_listener->listener->start(waiting, m_limit); }
    bool await_resume() const { return m_listener->listener && m_listener->listener->came(); }

private:
    struct Ending {
        explicit Ending(NextSignalListener* made)
            : listener(made)
        {
        }
        Ending(const Ending&) = delete;
        Ending& operator=(const Ending&) = delete;
        ~Ending()
        {
            if (listener)
                listener->end();
        }

        // The sender owns it: gone with the sender at the latest.
        QPointer<NextSignalListener> listener;
    };

    std::shared_ptr<Ending> m_listener;
    std::optional<std::chrono::milliseconds> m_limit;
};

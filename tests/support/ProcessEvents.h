#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

// Lets queued calls, timers and socket notifiers of this thread run for a while.
inline void processEventsFor(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs the event loop until the condition holds or ten seconds have passed; whether it holds.
inline bool waitUntil(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(10000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

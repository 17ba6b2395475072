#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>

// The running tool's link to the request it serves. The server tells the tool that its client no
// longer wants the answer; the tool tells the server how far it got (progress). Copies share one
// state. Worker threads poll isCancelled() and may report progress; code on the main thread can
// subscribe to both.
class CancellationToken {
public:
    CancellationToken();

    bool isCancelled() const;
    // Sets the flag and runs the subscribers on the main thread. Later calls do nothing.
    void cancel();

    // Runs `action` once when the token is cancelled (at once when it already is), as long as
    // `context` lives. Call on the main thread.
    void onCancelled(QObject* context, std::function<void()> action) const;

    // How far the work got: a growing count, the total when known (else NaN) and a short text.
    // Callable from any thread; the server decides what reaches the client and how often.
    void reportProgress(double progress, double total = std::numeric_limits<double>::quiet_NaN(), const QString& message = {}) const;
    using ProgressAction = std::function<void(double progress, double total, const QString& message)>;
    // Runs `action` on `context`'s thread for every report, as long as `context` lives.
    void onProgress(QObject* context, ProgressAction action) const;

private:
    class State;
    std::shared_ptr<State> m_state;
};

// Paces a worker loop's progress reports: the loop asks at every step and reports only when
// due() says so, at once the first time and then at most once per kIntervalMs. Building and
// queuing a report for every file or chunk would cost more than the work.
class ProgressPace {
public:
    static constexpr qint64 kIntervalMs = 100;

    bool due()
    {
        if (m_sinceReport.isValid() && m_sinceReport.elapsed() < kIntervalMs)
            return false;
        m_sinceReport.start();
        return true;
    }

private:
    QElapsedTimer m_sinceReport;
};

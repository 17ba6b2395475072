#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

// Lets the server tell a running tool that its client no longer wants the answer. Copies share
// one state. Worker threads poll isCancelled(); code on the main thread can subscribe.
class CancellationToken {
public:
    CancellationToken();

    bool isCancelled() const;
    // Sets the flag and runs the subscribers on the main thread. Later calls do nothing.
    void cancel();

    // Runs `action` once when the token is cancelled (at once when it already is), as long as
    // `context` lives. Call on the main thread.
    void onCancelled(QObject* context, std::function<void()> action) const;

private:
    class State;
    std::shared_ptr<State> m_state;
};

#include "tools/CancellationToken.h"

class CancellationToken::State : public QObject {
    Q_OBJECT
public:
    std::atomic<bool> cancelled{false};
Q_SIGNALS:
    void triggered();
};

CancellationToken::CancellationToken()
    : m_state(std::make_shared<State>())
{
}

bool CancellationToken::isCancelled() const
{
    return m_state->cancelled.load(std::memory_order_relaxed);
}

void CancellationToken::cancel()
{
    if (m_state->cancelled.exchange(true))
        return;
    Q_EMIT m_state->triggered();
}

void CancellationToken::onCancelled(QObject* context, std::function<void()> action) const
{
    if (isCancelled()) {
        action();
        return;
    }
    QObject::connect(m_state.get(), &State::triggered, context, std::move(action), Qt::SingleShotConnection);
}

#include "CancellationToken.moc"

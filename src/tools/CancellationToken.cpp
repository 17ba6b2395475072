#include "tools/CancellationToken.h"

class CancellationToken::State : public QObject {
    Q_OBJECT
public:
    std::atomic<bool> cancelled{false};
Q_SIGNALS:
    void triggered();
    void progressed(double progress, double total, const QString& message);
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

void CancellationToken::reportProgress(double progress, double total, const QString& message) const
{
    Q_EMIT m_state->progressed(progress, total, message);
}

void CancellationToken::onProgress(QObject* context, ProgressAction action) const
{
    QObject::connect(m_state.get(), &State::progressed, context, std::move(action));
}

#include "CancellationToken.moc"

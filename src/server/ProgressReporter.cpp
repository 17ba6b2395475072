#include "server/ProgressReporter.h"

#include "tools/CancellationToken.h"

#include <chrono>
#include <cmath>

namespace {

qint64 steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

std::optional<Json> ProgressReporter::tokenOf(const JSONRPCRequest& request)
{
    if (!request.params || !request.params->is_object())
        return std::nullopt;
    const Json meta = request.params->value("_meta", Json());
    const Json token = meta.is_object() ? meta.value("progressToken", Json()) : Json();
    if (token.is_string() || token.is_number_integer())
        return token;
    return std::nullopt;
}

ProgressReporter::ProgressReporter(Json token, bool withMessage, Sender send, QObject* parent, Milliseconds now)
    : QObject(parent)
    , m_token(std::move(token))
    , m_withMessage(withMessage)
    , m_send(std::move(send))
    , m_now(now ? std::move(now) : Milliseconds(steadyMilliseconds))
    , m_start(m_now())
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ProgressReporter::flush);
}

void ProgressReporter::follow(const CancellationToken& cancellation)
{
    cancellation.onProgress(this, [this](double progress, double total, const QString& message) { report(progress, total, message); });
    // A cancelled request gets no further message, progress included.
    cancellation.onCancelled(this, [this] { finish(); });
}

void ProgressReporter::report(double progress, double total, const QString& message)
{
    if (m_finished || !std::isfinite(progress) || progress <= m_lastSent)
        return;
    m_pending = true;
    m_progress = progress;
    m_total = total;
    m_message = message;
    flush();
}

qint64 ProgressReporter::dueAt() const
{
    return m_lastSentAt.value_or(m_start) + kIntervalMs;
}

void ProgressReporter::flush()
{
    if (m_finished || !m_pending)
        return;
    // A timer may fire a little early; the clock decides.
    const qint64 now = m_now();
    if (now < dueAt()) {
        if (!m_timer.isActive())
            m_timer.start(static_cast<int>(dueAt() - now));
        return;
    }
    m_timer.stop();
    m_pending = false;
    Json params = {{"progressToken", m_token}, {"progress", m_progress}};
    if (std::isfinite(m_total))
        params["total"] = m_total;
    if (m_withMessage && !m_message.isEmpty())
        params["message"] = m_message.toStdString();
    m_lastSent = m_progress;
    m_lastSentAt = now;
    m_send(std::move(params));
}

void ProgressReporter::finish()
{
    m_finished = true;
    m_timer.stop();
}

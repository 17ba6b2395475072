#include "server/ProgressReporter.h"

#include "tools/CancellationToken.h"

#include <cmath>

ProgressReporter::ProgressReporter(Json token, bool withMessage, Sender send, QObject* parent)
    : QObject(parent)
    , m_token(std::move(token))
    , m_withMessage(withMessage)
    , m_send(std::move(send))
{
    m_sinceStart.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ProgressReporter::flush);
}

void ProgressReporter::follow(const CancellationToken& cancellation)
{
    cancellation.onProgress(this, [this](double progress, double total, const QString& message) { report(progress, total, message); });
}

void ProgressReporter::report(double progress, double total, const QString& message)
{
    if (m_finished || !std::isfinite(progress) || progress <= m_lastSent)
        return;
    m_pending = true;
    m_progress = progress;
    m_total = total;
    m_message = message;
    if (m_timer.isActive())
        return;
    const qint64 sinceStart = m_sinceStart.elapsed();
    const qint64 sinceSent = m_sinceSent.isValid() ? m_sinceSent.elapsed() : kIntervalMs;
    const qint64 wait = std::max<qint64>({0, kIntervalMs - sinceStart, kIntervalMs - sinceSent});
    m_timer.start(static_cast<int>(wait));
}

void ProgressReporter::flush()
{
    if (m_finished || !m_pending)
        return;
    m_pending = false;
    Json params = {{"progressToken", m_token}, {"progress", m_progress}};
    if (std::isfinite(m_total))
        params["total"] = m_total;
    if (m_withMessage && !m_message.isEmpty())
        params["message"] = m_message.toStdString();
    m_lastSent = m_progress;
    m_sinceSent.start();
    m_send(std::move(params));
}

void ProgressReporter::finish()
{
    m_finished = true;
    m_timer.stop();
}

#include "server/RequestQueue.h"

#include "platform/processes/Log.h"
#include "protocol/AnyCodable.h"
#include "protocol/DecodingError.h"
#include "protocol/JSONRPCRequest.h"
#include "server/StatelessRequests.h"

#include <QPointer>

#include <string_view>

ZARNEL_LOGGING_CATEGORY(lcRequestQueue, "RequestQueue")

namespace {

// What a waiting line costs besides its bytes (the array and the queue's slot).
constexpr qsizetype kLineOverhead = 64;

} // namespace

RequestQueue::RequestQueue(Handler handler, OutOfTurnHandler pingHandler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_pingHandler(std::move(pingHandler))
{
}

RequestQueue::~RequestQueue() = default;

void RequestQueue::open()
{
    clearPending();
    m_inputEnded = false;
    m_open = true;
}

void RequestQueue::close()
{
    m_open = false;
    clearPending();
}

void RequestQueue::setHeld(bool held)
{
    m_held = held;
    if (!m_held)
        setWaiting(false);
    if (!m_held && !m_processing && !m_pending.empty())
        processPending();
}

void RequestQueue::clearPending()
{
    m_pending.clear();
    m_pendingBytes = 0;
    Q_EMIT roomMade();
}

QByteArray RequestQueue::takeFirst()
{
    QByteArray line = std::move(m_pending.front());
    m_pending.pop_front();
    m_pendingBytes -= line.size() + kLineOverhead;
    Q_EMIT roomMade();
    return line;
}

void RequestQueue::enqueue(const QByteArray& line)
{
    if (takePingOutOfTurn(line))
        return;
    takeCancellation(line);
    if (m_held)
        noteHeld(line);
    m_pending.push_back(line);
    m_pendingBytes += line.size() + kLineOverhead;
    if (!m_processing && !m_held)
        processPending();
}

void RequestQueue::noteInputEnded()
{
    m_inputEnded = true;
    if (!m_processing)
        Q_EMIT finished();
}

CancellationToken RequestQueue::begin(const JSONRPCId& id, std::string method)
{
    m_inFlight = InFlight{id, std::move(method), CancellationToken(), false};
    return m_inFlight->cancellation;
}

CancellationToken RequestQueue::currentCancellation() const
{
    return m_inFlight ? m_inFlight->cancellation : CancellationToken();
}

bool RequestQueue::finish()
{
    const bool cancelled = m_inFlight && m_inFlight->cancelled;
    m_inFlight.reset();
    return cancelled;
}

bool RequestQueue::takeCancellation(const QByteArray& line)
{
    // A cheap look before the real one; the slash may come escaped ("notifications\/cancelled").
    if (viewOf(line).find("cancelled") == std::string_view::npos)
        return false;
    const auto parsed = json::parse(viewOf(line));
    if (!parsed || !parsed->is_object() || parsed->value("method", Json()) != "notifications/cancelled" || parsed->contains("id"))
        return false;
    const Json* params = parsed->contains("params") ? &(*parsed)["params"] : nullptr;
    if (!params || !params->is_object() || !params->contains("requestId"))
        return false;
    try {
        cancel(JSONRPCId::fromJson((*params)["requestId"], "params.requestId"));
    } catch (const DecodingError&) {
        return false;
    }
    return true;
}

bool RequestQueue::takePingOutOfTurn(const QByteArray& line)
{
    // In turn when nothing runs; a cheap look before the real one.
    if (!m_pingHandler || !m_processing || m_held || viewOf(line).find("ping") == std::string_view::npos)
        return false;
    auto parsed = json::parse(viewOf(line));
    if (!parsed || !parsed->is_object() || parsed->value("method", Json()) != "ping")
        return false;
    std::optional<JSONRPCRequest> request;
    try {
        request = JSONRPCRequest::fromJson(std::move(*parsed));
    } catch (const DecodingError&) {
        return false;
    }
    if (request->isNotification() || StatelessRequests::carriesEnvelope(*request))
        return false;
    // Not begun here: the request in progress stays the one a cancellation names.
    m_pingHandler(std::move(*request));
    return true;
}

void RequestQueue::noteHeld(const QByteArray& line)
{
    auto parsed = json::parse(viewOf(line));
    if (!parsed || !parsed->is_object() || !parsed->contains("id"))
        return;
    std::optional<JSONRPCRequest> request;
    try {
        request = JSONRPCRequest::fromJson(std::move(*parsed));
    } catch (const DecodingError&) {
        return;
    }
    Q_EMIT requestHeld(*request);
    setWaiting(true);
}

void RequestQueue::setWaiting(bool waiting)
{
    if (m_waiting == waiting)
        return;
    m_waiting = waiting;
    Q_EMIT isWaitingChanged();
}

void RequestQueue::cancel(const JSONRPCId& id)
{
    if (m_inFlight && m_inFlight->id == id) {
        if (m_inFlight->cancelled)
            return;
        m_inFlight->cancelled = true;
        qCInfo(lcRequestQueue, "Cancelling request %s", id.toDisplayString().c_str());
        Q_EMIT requestCancelled(QString::fromStdString(m_inFlight->method));
        m_inFlight->cancellation.cancel();
        return;
    }
    // A request read ahead but not started yet is dropped unanswered.
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        const auto parsed = json::parse(viewOf(*it));
        if (!parsed || !parsed->is_object())
            continue;
        try {
            const JSONRPCRequest request = JSONRPCRequest::fromJson(*parsed);
            if (request.id && *request.id == id) {
                const QString method = QString::fromStdString(request.method);
                m_pendingBytes -= it->size() + kLineOverhead;
                m_pending.erase(it);
                Q_EMIT requestCancelled(method);
                Q_EMIT roomMade();
                return;
            }
        } catch (const DecodingError&) {
        }
    }
}

void RequestQueue::abandon()
{
    qCInfo(lcRequestQueue, "Client gone: dropping %zu waiting lines", m_pending.size());
    clearPending();
    if (m_inFlight && !m_inFlight->cancelled) {
        m_inFlight->cancelled = true;
        Q_EMIT requestCancelled(QString::fromStdString(m_inFlight->method));
        m_inFlight->cancellation.cancel();
    }
    // The client leaves only after its input has ended: finished() has come already when nothing
    // ran, and comes once the cancelled request is over otherwise.
}

QCoro::Task<> RequestQueue::processPending()
{
    // The one place requests are taken: the next line waits until the previous answer is out.
    QPointer<RequestQueue> self(this);
    m_processing = true;
    while (!m_pending.empty() && m_open && !m_held) {
        co_await m_handler(takeFirst());
        if (!self)
            co_return;
    }
    m_processing = false;
    // Held lines are never answered once the client has left: nobody would read the answers.
    if (m_inputEnded && (m_pending.empty() || m_held))
        Q_EMIT finished();
}

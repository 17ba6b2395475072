#pragma once

#include "protocol/JSONRPCId.h"
#include "protocol/JSONRPCRequest.h"
#include "tools/CancellationToken.h"

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A received line's bytes, as the JSON reader takes them.
inline std::string_view viewOf(const QByteArray& line)
{
    return std::string_view(line.constData(), static_cast<std::size_t>(line.size()));
}

// The lines a client sent, answered strictly in arrival order, one at a time, and the
// cancellation of the request in progress or of one still waiting. The handler decodes and
// answers a line; it marks the request it works on with begin() and finish() so that a
// cancellation can reach it. While the queue is held (the server stopped), requests wait and the
// client is a waiting one until they are released.
class RequestQueue : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<QCoro::Task<>(QByteArray line)>;
    using OutOfTurnHandler = std::function<QCoro::Task<>(JSONRPCRequest request)>;

    // A ping that comes while another request is in progress goes to `pingHandler` at once, when
    // there is one: clients ping to learn whether the server is alive, and a long tool call must
    // not make it look dead. Not while held: a stopped server answers nothing.
    explicit RequestQueue(Handler handler, OutOfTurnHandler pingHandler = {}, QObject* parent = nullptr);
    ~RequestQueue() override;

    // A new conversation: nothing waits, the input has not ended, lines are taken.
    void open();
    // Drops the lines not yet started and takes no more until opened again.
    void close();
    bool isOpen() const { return m_open; }
    // Held lines wait, in order, unanswered, until released; the request in progress finishes.
    void setHeld(bool held);
    bool isHeld() const { return m_held; }
    // Whether a request (not a notification) came while held and has not been released yet.
    bool isWaiting() const { return m_waiting; }

    // A line as read. A cancellation acts at once, while the request it names may still be
    // running; the notification itself then takes its turn like any other message.
    void enqueue(const QByteArray& line);
    // No more lines will come; finished() follows once every line read is answered.
    void noteInputEnded();
    bool isProcessing() const { return m_processing; }
    std::size_t pendingCount() const { return m_pending.size(); }
    // What the waiting lines cost, a little more than their bytes: many tiny lines cost too.
    qsizetype pendingBytes() const { return m_pendingBytes; }

    // The request the handler now works on, and its cancellation.
    CancellationToken begin(const JSONRPCId& id, std::string method);
    // The cancellation of the request in progress; an inert one when there is none.
    CancellationToken currentCancellation() const;
    // Ends the request in progress; true when the client cancelled it (it then wants no answer).
    bool finish();

    // Cancels the request with this id: the one in progress through its token, a waiting one
    // by dropping it unanswered. Unknown ids are ignored.
    void cancel(const JSONRPCId& id);
    // The client is gone and no answer can reach it: drops every waiting line and cancels the
    // request in progress, so that nothing goes on working for no one.
    void abandon();

Q_SIGNALS:
    // A request was cancelled (its method), for the activity log.
    void requestCancelled(const QString& method);
    // A request came while held (it may say who the client is); isWaiting() follows.
    void requestHeld(const JSONRPCRequest& request);
    void isWaitingChanged();
    // The input has ended and every line read before its end has been answered.
    void finished();
    // Waiting lines were taken or dropped.
    void roomMade();

private:
    bool takeCancellation(const QByteArray& line);
    bool takePingOutOfTurn(const QByteArray& line);
    void noteHeld(const QByteArray& line);
    void setWaiting(bool waiting);
    QCoro::Task<> processPending();
    void clearPending();
    QByteArray takeFirst();

    Handler m_handler;
    OutOfTurnHandler m_pingHandler;
    std::deque<QByteArray> m_pending;
    struct InFlight {
        JSONRPCId id;
        std::string method;
        CancellationToken cancellation;
        bool cancelled = false;
    };
    std::optional<InFlight> m_inFlight;
    qsizetype m_pendingBytes = 0;
    bool m_open = false;
    bool m_held = false;
    bool m_waiting = false;
    bool m_processing = false;
    bool m_inputEnded = false;
};

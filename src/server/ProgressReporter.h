#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/JSONRPCRequest.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class CancellationToken;

// Turns a tool's progress reports into notifications/progress for one request that asked for
// them with a progressToken: none within the first kIntervalMs (a quick request gets none), then
// at most one per kIntervalMs carrying the latest report, always increasing, and none once the
// reporter is finished (before the response is written) or the request is cancelled.
class ProgressReporter : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kIntervalMs = 250;
    using Sender = std::function<void(Json params)>;
    // Milliseconds on a clock that never goes back; a steady clock unless a test gives its own.
    using Milliseconds = std::function<qint64()>;

    // The progress token a request of a session asked for in params._meta.
    static std::optional<Json> tokenOf(const JSONRPCRequest& request);

    ProgressReporter(Json token, bool withMessage, Sender send, QObject* parent = nullptr, Milliseconds now = {});

    // Takes the token's progress reports and stops when it is cancelled.
    void follow(const CancellationToken& cancellation);
    void report(double progress, double total, const QString& message);
    void finish();

private:
    // When a report may go out next.
    qint64 dueAt() const;
    // Sends the held report if its time has come, else waits for that time.
    void flush();

    Json m_token;
    bool m_withMessage;
    Sender m_send;
    Milliseconds m_now;
    qint64 m_start;
    std::optional<qint64> m_lastSentAt;
    QTimer m_timer;
    bool m_pending = false;
    bool m_finished = false;
    double m_progress = 0;
    double m_total = 0;
    QString m_message;
    double m_lastSent = -1;
};

#pragma once

#include "protocol/AnyCodable.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class CancellationToken;

// Turns a tool's progress reports into notifications/progress for one request that asked for
// them with a progressToken: none within the first kIntervalMs (a quick request gets none), then
// at most one per kIntervalMs carrying the latest report, always increasing, and none once the
// reporter is finished (before the response is written).
class ProgressReporter : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 250;
    using Sender = std::function<void(Json params)>;

    ProgressReporter(Json token, bool withMessage, Sender send, QObject* parent = nullptr);

    void follow(const CancellationToken& cancellation);
    void report(double progress, double total, const QString& message);
    void finish();

private:
    void flush();

    Json m_token;
    bool m_withMessage;
    Sender m_send;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceSent;
    QTimer m_timer;
    bool m_pending = false;
    bool m_finished = false;
    double m_progress = 0;
    double m_total = 0;
    QString m_message;
    double m_lastSent = -1;
};

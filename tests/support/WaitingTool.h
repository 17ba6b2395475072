#pragma once

#include "support/EchoTool.h"

#include <QCoroTask>
#include <QCoroTimer>
#include <QTimer>

// A tool for tests that runs until it is cancelled (or for `limitMs`), like a long command.
class WaitingTool : public BaseTool {
public:
    explicit WaitingTool(int limitMs = 10000)
        : BaseTool(testToolCategory())
        , m_limitMs(limitMs)
    {
    }

    bool sawCancellation = false;

    MCPTool definition() const override { return makeDefinition("wait", "waits", {}, {}); }

    QCoro::Task<MCPToolCallResponse> execute(Arguments, CancellationToken cancellation) override
    {
        QTimer timer;
        timer.setSingleShot(true);
        cancellation.onCancelled(&timer, [&timer] { timer.start(0); });
        if (!cancellation.isCancelled())
            timer.start(m_limitMs);
        co_await timer;
        sawCancellation = cancellation.isCancelled();
        co_return sawCancellation ? errorResult(QStringLiteral("cancelled")) : successResult(QStringLiteral("done"));
    }

private:
    int m_limitMs;
};

#include "server/RequestQueue.h"

#include "protocol/AnyCodable.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCoroTimer>
#include <QDeadlineTimer>

#include <chrono>

namespace {

// Handles each line like the server does: a request is marked in progress while it "runs"
// (a moment for the method "slow"), and its answer is kept unless it was cancelled.
class Handling {
public:
    explicit Handling(RequestQueue*& queue)
        : m_queue(queue)
    {
    }

    QStringList answered;
    QStringList seenCancelled;

    QCoro::Task<> handle(QByteArray line)
    {
        const Json message = Json::parse(line.toStdString());
        if (!message.contains("id"))
            co_return;
        const JSONRPCId id = JSONRPCId::fromJson(message["id"], "id");
        const CancellationToken token = m_queue->begin(id, message["method"].get<std::string>());
        if (message["method"] == "slow")
            co_await QCoro::sleepFor(std::chrono::milliseconds(50));
        if (token.isCancelled())
            seenCancelled.append(QString::fromStdString(message["method"].get<std::string>()));
        if (!m_queue->finish())
            answered.append(QString::fromStdString(id.toDisplayString()));
    }

private:
    RequestQueue*& m_queue;
};

QByteArray request(int id, const char* method)
{
    return QByteArray(R"({"jsonrpc":"2.0","id":)") + QByteArray::number(id) + R"(,"method":")" + method + "\"}";
}

QByteArray cancellation(int id)
{
    return QByteArray(R"({"jsonrpc":"2.0","method":"notifications\/cancelled","params":{"requestId":)") + QByteArray::number(id) + "}}";
}

} // namespace

TEST(RequestQueue, AnswersInOrderAndCancelsTheRunningAndTheWaitingRequests)
{
    RequestQueue* queue = nullptr;
    Handling handling(queue);
    RequestQueue owned([&handling](QByteArray line) { return handling.handle(std::move(line)); });
    queue = &owned;
    QStringList cancelledMethods;
    QObject::connect(queue, &RequestQueue::requestCancelled, [&](const QString& method) { cancelledMethods.append(method); });
    bool finished = false;
    QObject::connect(queue, &RequestQueue::finished, [&finished] { finished = true; });

    queue->open();
    queue->enqueue(request(1, "slow"));
    queue->enqueue(request(2, "ping"));
    queue->enqueue(request(3, "waiting"));
    queue->enqueue(request(4, "slow"));
    // Acts at once: 1 is running, 3 is still waiting; an unknown id changes nothing.
    queue->enqueue(cancellation(1));
    queue->enqueue(cancellation(3));
    queue->enqueue(cancellation(99));
    EXPECT_EQ(cancelledMethods, (QStringList{"slow", "waiting"}));
    queue->noteInputEnded();
    EXPECT_FALSE(finished);

    QDeadlineTimer deadline(5000);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(finished);
    EXPECT_EQ(handling.seenCancelled, QStringList{"slow"});
    EXPECT_EQ(handling.answered, (QStringList{"2", "4"}));
}

TEST(RequestQueue, DropsWhatWaitsWhenClosed)
{
    RequestQueue* queue = nullptr;
    Handling handling(queue);
    RequestQueue owned([&handling](QByteArray line) { return handling.handle(std::move(line)); });
    queue = &owned;
    queue->open();
    queue->enqueue(request(1, "slow"));
    queue->enqueue(request(2, "ping"));
    queue->close();
    EXPECT_EQ(queue->pendingCount(), 0u);
    QDeadlineTimer deadline(5000);
    while (queue->isProcessing() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(handling.answered, QStringList{"1"});
}

TEST(RequestQueue, AnswersAPingAtOnceWhileARequestRunsAndHoldsEverythingWhileStopped)
{
    RequestQueue* queue = nullptr;
    Handling handling(queue);
    QStringList pingedOutOfTurn;
    RequestQueue owned([&handling](QByteArray line) { return handling.handle(std::move(line)); },
                       [&pingedOutOfTurn](JSONRPCRequest ping) -> QCoro::Task<> {
                           pingedOutOfTurn.append(QString::fromStdString(ping.id->toDisplayString()));
                           co_return;
                       });
    queue = &owned;
    QStringList held;
    QObject::connect(queue, &RequestQueue::requestHeld,
                     [&held](const JSONRPCRequest& request) { held.append(QString::fromStdString(request.method)); });

    queue->open();
    queue->enqueue(request(1, "slow"));
    queue->enqueue(request(2, "ping"));
    EXPECT_EQ(pingedOutOfTurn, QStringList{"2"}) << "answered while 1 runs";
    QDeadlineTimer deadline(5000);
    while (queue->isProcessing() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(handling.answered, QStringList{"1"});

    // Stopped: a ping waits like the rest, and the client waits once a request (not a
    // notification) has come.
    queue->setHeld(true);
    queue->enqueue(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    EXPECT_FALSE(queue->isWaiting());
    queue->enqueue(request(3, "slow"));
    queue->enqueue(request(4, "ping"));
    EXPECT_TRUE(queue->isWaiting());
    EXPECT_EQ(held, (QStringList{"slow", "ping"}));
    EXPECT_EQ(pingedOutOfTurn, QStringList{"2"});
    EXPECT_EQ(handling.answered, QStringList{"1"});

    queue->setHeld(false);
    EXPECT_FALSE(queue->isWaiting());
    deadline = QDeadlineTimer(5000);
    while ((queue->isProcessing() || queue->pendingCount() > 0) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(handling.answered, (QStringList{"1", "3", "4"}));
}

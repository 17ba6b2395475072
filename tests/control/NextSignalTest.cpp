#include "control/NextSignal.h"
#include "support/ProcessEvents.h"

#include <gtest/gtest.h>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

class Sender : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void happened();
};

// Says how the wait ended.
QCoro::Task<> waitFor(Sender* sender, std::optional<std::chrono::milliseconds> limit, std::optional<bool>& came)
{
    came = co_await NextSignal(sender, &Sender::happened, limit);
}

} // namespace

// Under the sanitizers QCoro's own signal wait fails the first two: the second emission of a pass,
// or one queued as the time ran out, resumes the frame of a wait that has ended.
TEST(NextSignal, TwoEmissionsInOnePassEndTheWaitOnceAndReachNothingAfterIt)
{
    Sender sender;
    std::optional<bool> came;
    QCoro::Task<> waiting = waitFor(&sender, std::nullopt, came);
    Q_EMIT sender.happened();
    Q_EMIT sender.happened();
    processEventsFor(50);
    ASSERT_TRUE(came.has_value());
    EXPECT_TRUE(*came);
    EXPECT_TRUE(waiting.isReady());
    // A new wait after it sees only what comes next.
    std::optional<bool> next;
    QCoro::Task<> again = waitFor(&sender, 20ms, next);
    processEventsFor(100);
    ASSERT_TRUE(next.has_value());
    EXPECT_FALSE(*next);
}

TEST(NextSignal, AnEmissionQueuedAsTheTimeRunsOutReachesNothing)
{
    Sender sender;
    std::optional<bool> came;
    QCoro::Task<> waiting = waitFor(&sender, 1ms, came);
    std::this_thread::sleep_for(20ms);
    Q_EMIT sender.happened();
    processEventsFor(50);
    ASSERT_TRUE(came.has_value());
    EXPECT_TRUE(waiting.isReady());
}

TEST(NextSignal, ASenderDeletedWhileWaitedOnEndsTheWaitWithoutTheSignal)
{
    auto* sender = new Sender;
    std::optional<bool> came;
    QCoro::Task<> waiting = waitFor(sender, std::nullopt, came);
    processEventsFor(20);
    ASSERT_FALSE(came.has_value());
    delete sender;
    ASSERT_TRUE(came.has_value());
    EXPECT_FALSE(*came);
    EXPECT_TRUE(waiting.isReady());
}

#include "NextSignalTest.moc"

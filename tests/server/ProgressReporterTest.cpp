#include "server/ProgressReporter.h"

#include "tools/CancellationToken.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <limits>
#include <vector>

namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

// A reporter on a clock the test moves, keeping what it sends.
class Reporting : public ::testing::Test {
protected:
    qint64 now = 1'000'000;
    std::vector<Json> sent;
    ProgressReporter reporter{Json("tok"), true, [this](Json params) { sent.push_back(std::move(params)); }, nullptr,
                              [this] { return now; }};

    void at(qint64 sinceStart) { now = 1'000'000 + sinceStart; }
    // Lets the reporter's timer run until `count` notifications are out (or a second passes).
    void waitForSent(std::size_t count)
    {
        QDeadlineTimer deadline(1000);
        while (sent.size() < count && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

TEST_F(Reporting, SendsNothingForARequestThatEndsWithinTheFirstInterval)
{
    for (const qint64 t : {qint64(0), qint64(100), ProgressReporter::kIntervalMs - 1}) {
        at(t);
        reporter.report(static_cast<double>(t + 1), kUnknown, QStringLiteral("working"));
    }
    reporter.finish();
    at(10 * ProgressReporter::kIntervalMs);
    reporter.report(5000, kUnknown, QStringLiteral("late"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent.empty());
}

TEST_F(Reporting, SendsAtMostOnePerIntervalCarryingTheLatestIncreasingReportAndNoneAfterTheResponse)
{
    at(0);
    reporter.report(1, 10, QStringLiteral("one"));
    at(250);
    reporter.report(2, 10, QStringLiteral("two"));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Json{{"progressToken", "tok"}, {"progress", 2.0}, {"total", 10.0}, {"message", "two"}}));

    // Within the interval reports are held; only the latest goes out once it has passed.
    at(300);
    reporter.report(3, 10, QStringLiteral("three"));
    at(400);
    reporter.report(4, kUnknown, QStringLiteral("four"));
    reporter.report(2, kUnknown, QStringLiteral("not forward"));
    EXPECT_EQ(sent.size(), 1u);
    at(500);
    reporter.report(5, kUnknown, QStringLiteral("five"));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], (Json{{"progressToken", "tok"}, {"progress", 5.0}, {"message", "five"}}));
    reporter.report(5, kUnknown, QStringLiteral("again"));

    // A held report goes out by itself when its time comes, even with no report after it.
    at(600);
    reporter.report(6, kUnknown, QString());
    at(750);
    waitForSent(3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2], (Json{{"progressToken", "tok"}, {"progress", 6.0}}));

    // Held when the response is written: dropped, and nothing comes later.
    at(800);
    reporter.report(7, kUnknown, QString());
    reporter.finish();
    at(5000);
    reporter.report(8, kUnknown, QString());
    QCoreApplication::processEvents();
    EXPECT_EQ(sent.size(), 3u);
}

TEST(ProgressReporter, FollowsTheToolsReportsUntilCancelledAndLeavesOutTheMessageWhereTheRevisionHasNone)
{
    qint64 now = 0;
    std::vector<Json> sent;
    ProgressReporter reporter(
        Json(7), false, [&](Json params) { sent.push_back(std::move(params)); }, nullptr, [&] { return now; });
    CancellationToken cancellation;
    reporter.follow(cancellation);

    now = 300;
    cancellation.reportProgress(1, 4, QStringLiteral("a quarter"));
    QCoreApplication::processEvents();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Json{{"progressToken", 7}, {"progress", 1.0}, {"total", 4.0}}));

    cancellation.cancel();
    now = 1000;
    cancellation.reportProgress(2, 4, QStringLiteral("half"));
    QCoreApplication::processEvents();
    EXPECT_EQ(sent.size(), 1u);
}

} // namespace

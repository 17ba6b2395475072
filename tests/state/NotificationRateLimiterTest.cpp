#include "state/NotificationRateLimiter.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

namespace {

DesktopEvent failed(const char* tool, const QString& reason = {})
{
    return {DesktopEvent::Kind::ToolCallFailed, QString::fromLatin1(tool), reason};
}

DesktopEvent connected(const char* client)
{
    return {DesktopEvent::Kind::ClientConnected, QString::fromLatin1(client), {}};
}

std::string text(const std::optional<DesktopNotification>& notification)
{
    return notification ? (notification->title + QStringLiteral(" | ") + notification->body).toStdString() : "<held>";
}

TEST(NotificationRateLimit, PostsTheFirstAtOnceAndSumsTheRestIntoOnePerTenSeconds)
{
    FakeClock clock;
    NotificationRateLimiter limiter(clock);
    EXPECT_EQ(limiter.nextPostingTime(), std::nullopt);
    EXPECT_EQ(text(limiter.add(connected("Claude Code 1.0.3"))), "Client connected | Claude Code 1.0.3");

    const QDateTime firstPosted = clock.now();
    clock.advance(1000);
    EXPECT_EQ(text(limiter.add(failed("delete_file"))), "<held>");
    clock.advance(3000);
    EXPECT_EQ(text(limiter.add(failed("write_file"))), "<held>");
    EXPECT_EQ(text(limiter.add(failed("delete_file"))), "<held>");
    EXPECT_EQ(limiter.nextPostingTime(), firstPosted.addSecs(10));
    clock.advance(5999);
    EXPECT_EQ(text(limiter.takeDue()), "<held>");
    clock.advance(1);
    EXPECT_EQ(text(limiter.takeDue()), "3 tool calls failed | delete_file, write_file");
    EXPECT_EQ(text(limiter.takeDue()), "<held>");
    EXPECT_EQ(limiter.nextPostingTime(), std::nullopt);

    // The summary counts as the last posting; a quiet spell lets the next one straight through.
    clock.advance(9000);
    EXPECT_EQ(text(limiter.add(failed("move_file"))), "<held>");
    clock.advance(60'000);
    EXPECT_EQ(text(limiter.add(connected("Other 2"))), "Zarnel | Client connected: Other 2\nTool call failed: move_file");
    clock.advance(10'000);
    EXPECT_EQ(text(limiter.add(failed("copy_file"))), "Tool call failed | copy_file");
}

TEST(NotificationRateLimit, OneFailureNamesItsReasonAndSeveralTheirTools)
{
    FakeClock clock;
    NotificationRateLimiter limiter(clock);
    EXPECT_EQ(text(limiter.add(failed("read_file", "File not found: /tmp/x"))), "Tool call failed | read_file: File not found: /tmp/x");
    limiter.add(failed("read_file", "File not found: /tmp/y"));
    limiter.add(failed("write_file", "Access denied: /etc"));
    clock.advance(10'000);
    EXPECT_EQ(text(limiter.takeDue()), "2 tool calls failed | read_file, write_file");

    // A body of a few hundred characters is as much as a daemon shows.
    clock.advance(10'000);
    const auto notification = limiter.add(failed("execute_command", QString(5000, QLatin1Char('x'))));
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->body.size(), QStringLiteral("execute_command: ").size() + 200);
    EXPECT_TRUE(notification->body.endsWith(QChar(0x2026)));
}

TEST(NotificationRateLimit, SumsClientsAndSurvivesAClockSetBack)
{
    FakeClock clock;
    NotificationRateLimiter limiter(clock);
    limiter.add(failed("read_file"));
    limiter.add(connected("A 1"));
    limiter.add(connected("B 2"));
    clock.advance(-3'600'000);
    // Held for one interval from the moment the clock went back, not for an hour.
    EXPECT_EQ(text(limiter.takeDue()), "<held>");
    clock.advance(10'000);
    EXPECT_EQ(text(limiter.takeDue()), "2 clients connected | A 1, B 2");
}

} // namespace

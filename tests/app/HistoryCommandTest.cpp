#include "app/HistoryCommand.h"

#include <gtest/gtest.h>

namespace {

// Mid-afternoon, so that local days and UTC days agree for the zones tests run in.
const QDateTime kNow(QDate(2026, 12, 7), QTime(14, 30), Qt::UTC);

CommandLine::Invocation invocation(QStringList arguments)
{
    arguments.prepend(QStringLiteral("history"));
    arguments.prepend(QStringLiteral("zarnel"));
    return CommandLine::parse(arguments);
}

TEST(HistoryCommand, ReadsTheMomentsPeopleName)
{
    const QDateTime today = QDate(2026, 12, 7).startOfDay(Qt::LocalTime).toUTC();
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("today"), kNow), today);
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("yesterday"), kNow), today.addDays(-1));
    // As an end, a day is included whole.
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("yesterday"), kNow, true), today);
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("1h"), kNow), kNow.addSecs(-3600));
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("7d"), kNow), kNow.addDays(-7));
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("30m"), kNow), kNow.addSecs(-1800));
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("2026-12-01"), kNow), QDate(2026, 12, 1).startOfDay(Qt::LocalTime).toUTC());
    EXPECT_EQ(HistoryCommand::parseWhen(QStringLiteral("2026-12-01T10:00:00Z"), kNow),
              QDateTime(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC));
    for (const char* wrong : {"", "tomorrow", "7w", "-1h", "2026-13-01", "1 h"})
        EXPECT_FALSE(HistoryCommand::parseWhen(QLatin1String(wrong), kNow)) << wrong;
}

TEST(HistoryCommand, TurnsItsOptionsIntoAFilterOrSaysWhatIsWrong)
{
    const auto asked = HistoryCommand::requestOf(invocation({QStringLiteral("--since"), QStringLiteral("1h"), QStringLiteral("--tool"),
                                                             QStringLiteral("write_file"), QStringLiteral("--client"), QStringLiteral("c"),
                                                             QStringLiteral("--errors"), QStringLiteral("--limit"), QStringLiteral("5")}),
                                                 kNow);
    ASSERT_TRUE(std::holds_alternative<HistoryCommand::Request>(asked));
    const HistoryCommand::Request& request = std::get<HistoryCommand::Request>(asked);
    EXPECT_EQ(request.filter.since, kNow.addSecs(-3600));
    EXPECT_FALSE(request.filter.until);
    EXPECT_EQ(request.filter.tool, QStringLiteral("write_file"));
    EXPECT_EQ(request.filter.client, QStringLiteral("c"));
    EXPECT_TRUE(request.filter.errorsOnly);
    EXPECT_EQ(request.limit, 5);
    EXPECT_EQ(std::get<HistoryCommand::Request>(HistoryCommand::requestOf(invocation({}), kNow)).limit, 50);

    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--limit"), QStringLiteral("0")}, QStringList{QStringLiteral("--until"), QStringLiteral("soon")}})
        EXPECT_TRUE(std::holds_alternative<QString>(HistoryCommand::requestOf(invocation(wrong), kNow))) << wrong.join(' ').toStdString();
}

TEST(HistoryCommand, ShowsACallOnOneLineOrAsOneObjectWithEveryField)
{
    HistoryRecord record;
    record.id = 7;
    record.time = QDateTime(QDate(2026, 12, 7), QTime(9, 15, 2, 345), Qt::UTC);
    record.processId = 1234;
    record.clientName = QStringLiteral("assistant");
    record.clientVersion = QStringLiteral("2.1");
    record.revision = QStringLiteral("2026-07-28");
    record.tool = QStringLiteral("execute_command");
    record.arguments = QStringLiteral("{\"command\":\"ls -l\"}");
    record.outcome = QStringLiteral("denied");
    record.errorText = QStringLiteral("Access denied: /etc");
    record.durationMs = 2.5;
    EXPECT_EQ(HistoryCommand::line(record),
              record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                  + QStringLiteral("  assistant 2.1  execute_command  denied  command=ls -l"));
    EXPECT_EQ(record.toJson(),
              (Json{{"id", 7},
                    {"time", "2026-12-07T09:15:02.345Z"},
                    {"processId", 1234},
                    {"client", "assistant"},
                    {"clientVersion", "2.1"},
                    {"revision", "2026-07-28"},
                    {"tool", "execute_command"},
                    {"arguments", {{"command", "ls -l"}}},
                    {"outcome", "denied"},
                    {"error", "Access denied: /etc"},
                    {"durationMs", 2.5}}));
}

} // namespace

#include "state/ActivityLog.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/SettingsManager.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

class ActivityLogTest : public ::testing::Test {
protected:
    // One letter per kept type, in LogType order: "i", "r", "t", "s", "e"; "-" when dropped.
    QString keptTypes() const
    {
        QString kept;
        for (const LogType type : {LogType::Info, LogType::Request, LogType::ToolCall, LogType::Success, LogType::Error})
            kept += log.shouldLog(type) ? QStringLiteral("irtse").at(kept.size()) : u'-';
        return kept;
    }

    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            log.add(QStringLiteral("entry %1").arg(i), LogType::Request);
    }

    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    SettingsManager settings{store};
    FakeClock clock;
    ActivityLog log{settings, clock};
};

TEST_F(ActivityLogTest, KeepsTheTypesOfEachLevelWithAndWithoutToolLogging)
{
    // What each level keeps without, then with, the tool-logging override.
    const std::tuple<LogLevel, const char*, const char*> rows[] = {
        {LogLevel::Debug, "irtse", "irtse"},
        {LogLevel::Info, "ir-se", "irtse"},
        {LogLevel::Warning, "-r--e", "-rtse"},
        {LogLevel::Error, "----e", "--tse"},
    };
    for (const auto& [level, without, with] : rows) {
        settings.setLogLevel(level);
        settings.setEnableToolLogging(false);
        EXPECT_EQ(keptTypes(), QLatin1String(without)) << LogLevels::rawValue(level).toStdString();
        settings.setEnableToolLogging(true);
        EXPECT_EQ(keptTypes(), QLatin1String(with)) << LogLevels::rawValue(level).toStdString();
    }
}

TEST_F(ActivityLogTest, TrimsToTheMaximumAtTheNextKeptAppendDroppingTheOldest)
{
    fill(500);
    settings.setMaxLogEntries(100);
    EXPECT_EQ(log.entries().size(), 500);

    // A dropped entry leaves the log untouched, and says nothing changed.
    settings.setLogLevel(LogLevel::Error);
    settings.setEnableToolLogging(false);
    int changes = 0;
    QObject::connect(&log, &ActivityLog::entriesChanged, [&] { ++changes; });
    log.add(QStringLiteral("dropped"), LogType::Info);
    EXPECT_EQ(log.entries().size(), 500);
    EXPECT_EQ(changes, 0);

    log.add(QStringLiteral("kept"), LogType::Error);
    ASSERT_EQ(log.entries().size(), 100);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(log.entries().front().message, QStringLiteral("kept"));
    EXPECT_EQ(log.entries().back().message, QStringLiteral("entry 401"));

    // A negative maximum keeps the newest entry.
    settings.setMaxLogEntries(-5);
    log.add(QStringLiteral("newest"), LogType::Error);
    ASSERT_EQ(log.entries().size(), 1);
    EXPECT_EQ(log.entries().front().message, QStringLiteral("newest"));
}

TEST_F(ActivityLogTest, ExportsTextNewestFirstWithUtcTimes)
{
    EXPECT_EQ(log.exportText().contents,
              QByteArray("Zarnel Activity Log Export\nGenerated: 2026-12-04 18:06:53 +0000\nTotal Entries: 0\n") + QByteArray(80, '=')
                  + "\n\n");
    EXPECT_EQ(log.exportJson().contents, QByteArray("[]"));
    log.add(QStringLiteral("Server started"), LogType::Info);
    clock.advance(2000);
    log.add(QStringLiteral("Tool call: read_file ünïcode"), LogType::ToolCall);
    clock.advance(61250);

    const ActivityLogDocument document = log.exportText();
    EXPECT_EQ(document.suggestedFileName, QStringLiteral("zarnel-activity-log-1796407676.25.txt"));
    EXPECT_EQ(document.contents,
              QByteArray("Zarnel Activity Log Export\n"
                         "Generated: 2026-12-04 18:07:56 +0000\n"
                         "Total Entries: 2\n")
                  + QByteArray(80, '=')
                  + QByteArray("\n\n"
                               "[2026-12-04 18:06:55 +0000] [toolCall] Tool call: read_file \xC3\xBCn\xC3\xAF"
                               "code\n"
                               "[2026-12-04 18:06:53 +0000] [info] Server started\n"));
}

TEST_F(ActivityLogTest, ExportsJsonWithSortedKeysAndEscapedSlashes)
{
    log.add(QStringLiteral("Resource read: file:///tmp/a \"b\""), LogType::Request);
    clock.advance(1500);
    log.add(QStringLiteral("Tool success: read_file"), LogType::Success);

    const ActivityLogDocument document = log.exportJson();
    EXPECT_EQ(document.suggestedFileName, QStringLiteral("zarnel-activity-log-1796407614.5.json"));
    EXPECT_EQ(document.contents,
              QByteArray("[\n"
                         "  {\n"
                         "    \"message\" : \"Tool success: read_file\",\n"
                         "    \"timestamp\" : \"2026-12-04T18:06:54Z\",\n"
                         "    \"type\" : \"success\"\n"
                         "  },\n"
                         "  {\n"
                         "    \"message\" : \"Resource read: file:\\/\\/\\/tmp\\/a \\\"b\\\"\",\n"
                         "    \"timestamp\" : \"2026-12-04T18:06:53Z\",\n"
                         "    \"type\" : \"request\"\n"
                         "  }\n"
                         "]"));
}

TEST_F(ActivityLogTest, CutsLongMessagesAtOneKibibyteKeepingTheirLength)
{
    log.add(QStringLiteral("Tool call: ") + QString(20 * 1024 * 1024, u'n'), LogType::Error);
    log.add(QStringLiteral("Reading: ") + QString(2000, u'\u00e9'), LogType::Error);
    log.add(QStringLiteral("short"), LogType::Error);

    ASSERT_EQ(log.entries().size(), 3);
    EXPECT_EQ(log.entries()[2].message,
              QStringLiteral("Tool call: ") + QString(1024 - 11, u'n') + QStringLiteral("\u2026 (20971531 bytes)"));
    // Never half a character.
    EXPECT_EQ(log.entries()[1].message, QStringLiteral("Reading: ") + QString(507, u'\u00e9') + QStringLiteral("\u2026 (4009 bytes)"));
    EXPECT_EQ(log.entries()[0].message, QStringLiteral("short"));
}

TEST_F(ActivityLogTest, AFailureKeepsItsReasonOnOneLineAndIsReadBack)
{
    // A reason of several lines reads as one, so that an export keeps one entry per line.
    EXPECT_EQ((ToolFailure{QStringLiteral("execute_command"),
                           QStringLiteral("Command: ls /x\nExit code: 2\n\nError:\n  ls: cannot access '/x'\r\n")}
                   .message()),
              QStringLiteral("Tool error: execute_command: Command: ls /x | Exit code: 2 | Error: ls: cannot access '/x'"));

    log.add(ToolFailure{QStringLiteral("read_file"), QStringLiteral("File not found: /a: b")}.message(), LogType::Error);
    const auto failure = ToolFailure::of(log.entries().constFirst());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->tool, "read_file");
    EXPECT_EQ(failure->reason, "File not found: /a: b");
    EXPECT_FALSE(failure->wasDeclined());
    EXPECT_FALSE(ToolFailure::of(ActivityLogEntry{{}, {}, QStringLiteral("Tool error: x"), LogType::Info}));
}

} // namespace

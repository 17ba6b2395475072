#include "platform/QSettingsPreferencesStore.h"
#include "server/ActivityLog.h"
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
        const QList<std::pair<LogType, QChar>> letters = {
            {LogType::Info, QLatin1Char('i')},     {LogType::Request, QLatin1Char('r')},
            {LogType::ToolCall, QLatin1Char('t')}, {LogType::Success, QLatin1Char('s')},
            {LogType::Error, QLatin1Char('e')},
        };
        QString kept;
        for (const auto& [type, letter] : letters)
            kept += log.shouldLog(type) ? letter : QLatin1Char('-');
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
    const QList<std::pair<LogLevel, QString>> withoutToolLogging = {
        {LogLevel::Debug, QStringLiteral("irtse")},
        {LogLevel::Info, QStringLiteral("ir-se")},
        {LogLevel::Warning, QStringLiteral("-r--e")},
        {LogLevel::Error, QStringLiteral("----e")},
    };
    settings.setEnableToolLogging(false);
    for (const auto& [level, kept] : withoutToolLogging) {
        settings.setLogLevel(level);
        EXPECT_EQ(keptTypes(), kept) << LogLevels::rawValue(level).toStdString();
    }

    const QList<std::pair<LogLevel, QString>> withToolLogging = {
        {LogLevel::Debug, QStringLiteral("irtse")},
        {LogLevel::Info, QStringLiteral("irtse")},
        {LogLevel::Warning, QStringLiteral("-rtse")},
        {LogLevel::Error, QStringLiteral("--tse")},
    };
    settings.setEnableToolLogging(true);
    for (const auto& [level, kept] : withToolLogging) {
        settings.setLogLevel(level);
        EXPECT_EQ(keptTypes(), kept) << LogLevels::rawValue(level).toStdString();
    }
}

TEST_F(ActivityLogTest, ADroppedEntryLeavesTheLogUntouched)
{
    settings.setLogLevel(LogLevel::Error);
    settings.setEnableToolLogging(false);
    int changes = 0;
    QObject::connect(&log, &ActivityLog::entriesChanged, [&] { ++changes; });
    log.add(QStringLiteral("Request: tools/call"), LogType::Request);
    log.add(QStringLiteral("Tool success: read_file"), LogType::Success);
    EXPECT_TRUE(log.entries().isEmpty());
    EXPECT_EQ(changes, 0);
    log.add(QStringLiteral("Tool error: read_file"), LogType::Error);
    ASSERT_EQ(log.entries().size(), 1);
    EXPECT_EQ(log.entries().front().message, QStringLiteral("Tool error: read_file"));
    EXPECT_EQ(changes, 1);
}

TEST_F(ActivityLogTest, AFullLogDropsItsOldestEntryForANewOne)
{
    settings.setMaxLogEntries(100);
    fill(100);
    log.add(QStringLiteral("newest"), LogType::Info);
    ASSERT_EQ(log.entries().size(), 100);
    EXPECT_EQ(log.entries().front().message, QStringLiteral("newest"));
    EXPECT_EQ(log.entries().back().message, QStringLiteral("entry 1"));
}

TEST_F(ActivityLogTest, ALoweredMaximumTrimsAtTheNextKeptAppend)
{
    fill(500);
    settings.setMaxLogEntries(100);
    EXPECT_EQ(log.entries().size(), 500);

    settings.setLogLevel(LogLevel::Error);
    settings.setEnableToolLogging(false);
    log.add(QStringLiteral("dropped"), LogType::Info);
    EXPECT_EQ(log.entries().size(), 500);

    log.add(QStringLiteral("kept"), LogType::Error);
    ASSERT_EQ(log.entries().size(), 100);
    EXPECT_EQ(log.entries().front().message, QStringLiteral("kept"));
    EXPECT_EQ(log.entries().back().message, QStringLiteral("entry 401"));
}

TEST_F(ActivityLogTest, ANegativeMaximumKeepsTheNewestEntry)
{
    fill(3);
    settings.setMaxLogEntries(-5);
    log.add(QStringLiteral("newest"), LogType::Info);
    ASSERT_EQ(log.entries().size(), 1);
    EXPECT_EQ(log.entries().front().message, QStringLiteral("newest"));
}

TEST_F(ActivityLogTest, ClearingEmptiesWithoutAddingAnEntry)
{
    log.clear();
    EXPECT_TRUE(log.entries().isEmpty());
    fill(2);
    log.clear();
    EXPECT_TRUE(log.entries().isEmpty());
}

TEST_F(ActivityLogTest, ExportsTextNewestFirstWithUtcTimes)
{
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
                               "[2026-12-04 18:06:55 +0000] [toolCall] Tool call: read_file \xC3\xBCn\xC3\xAF" "code\n"
                               "[2026-12-04 18:06:53 +0000] [info] Server started\n"));
}

TEST_F(ActivityLogTest, ExportsAnEmptyLogAsTheHeaderAlone)
{
    const ActivityLogDocument text = log.exportText();
    EXPECT_EQ(text.suggestedFileName, QStringLiteral("zarnel-activity-log-1796407613.0.txt"));
    EXPECT_EQ(text.contents, QByteArray("Zarnel Activity Log Export\nGenerated: 2026-12-04 18:06:53 +0000\n"
                                        "Total Entries: 0\n")
                                 + QByteArray(80, '=') + "\n\n");
    EXPECT_EQ(log.exportJson().contents, QByteArray("[]"));
}

TEST_F(ActivityLogTest, ExportsJsonWithSortedKeysAndEscapedSlashes)
{
    log.add(QStringLiteral("Resource read: file:///tmp/a \"b\""), LogType::Request);
    clock.advance(1500);
    log.add(QStringLiteral("Tool success: read_file"), LogType::Success);

    const ActivityLogDocument document = log.exportJson();
    EXPECT_EQ(document.suggestedFileName, QStringLiteral("zarnel-activity-log-1796407614.5.json"));
    EXPECT_EQ(document.contents, QByteArray("[\n"
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

} // namespace

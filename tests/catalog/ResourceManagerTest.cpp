#include "catalog/ResourceManager.h"
#include "platform/SystemServices.h"
#include "platform/files/LinuxFileManager.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "support/EchoTool.h"
#include "support/FakeClock.h"
#include "tools/ToolRegistry.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A tool whose schema has neither properties nor a required list.
class BareTool : public EchoTool {
public:
    BareTool()
        : EchoTool("bare")
    {
    }
    MCPTool definition() const override { return MCPTool{"bare", "no arguments", JSONSchema{}}; }
};

class Resources : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    FakeClock clock;
    SettingsManager settings{store};
    StatisticsManager statistics{store, clock};
    ActivityLog log{settings, clock};
    ToolRegistry tools;
    LinuxFileManager files;
    ResourceManager resources{
        ResourceSources{&log, &statistics, &settings, &tools, &clock, SystemServices::systemInformation(), &files, nullptr}};

    std::string read(const QString& uri)
    {
        const auto outcome = QCoro::waitFor(resources.readResource(uri));
        if (const auto* failure = std::get_if<MCPResourceError>(&outcome))
            return "failure: " + failure->description.toStdString();
        const auto& items = std::get<std::vector<MCPContent>>(outcome);
        EXPECT_EQ(items.size(), 1u);
        return items.front().asText()->text;
    }
};

TEST_F(Resources, ListsTheFiveResourcesInOrder)
{
    std::vector<std::string> uris;
    for (const auto& resource : resources.resources())
        uris.push_back(resource.uri);
    EXPECT_EQ(uris,
              (std::vector<std::string>{"system://info", "zarnel://activity-log", "zarnel://statistics", "zarnel://server-status",
                                        "zarnel://tools"}));
    // The system report is the tool's text: a client that parses by type must not try JSON.
    EXPECT_EQ(resources.resources()[0].mimeType, "text/plain");
    EXPECT_EQ(resources.mimeTypeFor(QStringLiteral("system://info")), QStringLiteral("text/plain"));
    EXPECT_EQ(
        resources.resources()[1].toJson(),
        Json::parse(
            R"({"uri":"zarnel://activity-log","name":"Activity Log","description":"Real-time activity log of MCP server operations","mimeType":"text/plain"})"));
}

TEST_F(Resources, ReportsEveryFailureWithItsText)
{
    EXPECT_EQ(read(QStringLiteral("zarnel://nothing")), "failure: Resource not found: zarnel://nothing");
    const QString missing = QStringLiteral("file://") + dir.filePath(QStringLiteral("missing.txt"));
    EXPECT_EQ(read(missing), "failure: Resource not found: " + missing.toStdString());
    EXPECT_EQ(read(QStringLiteral("file://") + dir.path()), "failure: Internal error: Failed to read file: Is a directory");
    QFile binary(dir.filePath(QStringLiteral("binary.bin")));
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(QByteArray("\xFF\xFE\x00", 3));
    binary.close();
    EXPECT_TRUE(read(QStringLiteral("file://") + binary.fileName()).starts_with("failure: Internal error: Failed to read file: "));
    EXPECT_EQ(read(QStringLiteral("file:///tmp/%FF")), "failure: Resource not found: file:///tmp/%FF");

    // The system would read such a path only up to the NUL, which names an existing file here.
    QFile text(dir.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("secret");
    text.close();
    const QString uri = QStringLiteral("file://") + text.fileName();
    EXPECT_EQ(read(uri + QStringLiteral("%00.public")), "failure: Invalid path: contains a NUL character");
    EXPECT_EQ(read(uri + QChar(u'\0') + QStringLiteral(".public")), "failure: Invalid path: contains a NUL character");
}

TEST_F(Resources, ShowsTheHundredNewestLogEntriesNewestFirst)
{
    EXPECT_EQ(read(QStringLiteral("zarnel://activity-log")), "Zarnel Activity Log\n=================\n\n");
    for (int i = 1; i <= 150; ++i)
        log.add(QStringLiteral("entry %1").arg(i), i == 150 ? LogType::Error : LogType::Request);
    const std::string text = read(QStringLiteral("zarnel://activity-log"));
    const auto lines = QString::fromStdString(text).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2 + 100);
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("] \u274C entry 150")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("] \U0001F4E5 entry 149")));
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral(" entry 51")));
}

TEST_F(Resources, SummarisesTheStatistics)
{
    Json empty = Json::parse(read(QStringLiteral("zarnel://statistics")));
    EXPECT_EQ(empty["most_used_tools"], Json::array());
    EXPECT_EQ(empty["successful_tools"], 0);
    EXPECT_EQ(empty["failed_tools"], 0);

    statistics.startSession();
    for (bool success : {true, true, false, true})
        statistics.recordToolCall(QStringLiteral("read_file"), 0.5, success);
    statistics.recordToolCall(QStringLiteral("write_file"), 0.5, true);
    clock.advance(90'000);
    const Json document = Json::parse(read(QStringLiteral("zarnel://statistics")));
    EXPECT_EQ(document["total_tool_calls"], 5);
    EXPECT_EQ(document["successful_tools"], 4);
    EXPECT_EQ(document["failed_tools"], 1);
    EXPECT_EQ(document["session_tool_calls"], 5);
    EXPECT_EQ(document["uptime_seconds"], 90);
    EXPECT_EQ(document["most_used_tools"][0], Json::parse(R"({"name":"read_file","count":4,"success_rate":0.75})"));
    EXPECT_EQ(document["most_used_tools"][1]["success_rate"], 1);
}

TEST_F(Resources, ReportsTheServerSettings)
{
    settings.setLogLevel(LogLevel::Warning);
    settings.setCommandTimeout(45);
    EXPECT_EQ(
        Json::parse(read(QStringLiteral("zarnel://server-status"))),
        Json::parse(
            R"({"is_running":false,"connection_count":0,"settings":{"auto_start_server":false,"log_level":"warning","command_timeout":45,"enable_tool_logging":true},"allowed_folders":[],"read_only_folders":[],"command_confinement":"off"})"));
}

TEST_F(Resources, DescribesEveryToolsSchema)
{
    tools.registerTool(std::make_shared<BareTool>());
    tools.registerTool(std::make_shared<EchoTool>("echo"));
    EXPECT_EQ(Json::parse(read(QStringLiteral("zarnel://tools"))), Json::parse(R"({"total_tools":2,"tools":[
        {"name":"bare","description":"no arguments","input_schema":{"type":"object","properties":{},"required":[]}},
        {"name":"echo","description":"echo","input_schema":{"type":"object","properties":{"text":{"type":"string","description":"what to say"}},"required":["text"]}}]})"));
}

} // namespace

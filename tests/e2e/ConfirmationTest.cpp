#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

// A headless zarnel whose user asked for confirmation, with a client that declares no way of
// asking its user.
class ConfirmationWithoutAnyoneToAsk : public ::testing::Test {
protected:
    void SetUp() override
    {
        home.writePreferences({{QStringLiteral("requireConfirmation"), true}});
        ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/work")));
        QFile file(victim());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();
        ASSERT_TRUE(zarnel.start());
        ASSERT_TRUE(zarnel.initialize().has_value());
    }

    QString victim() const { return home.path() + QStringLiteral("/work/notes.txt"); }

    TemporaryHome home;
    ZarnelProcess zarnel{home};
};

TEST_F(ConfirmationWithoutAnyoneToAsk, RefusesChangingToolsAndLeavesEverythingAsItWas)
{
    const auto deleted = zarnel.callTool("delete_file", {{"path", victim().toStdString()}});
    ASSERT_TRUE(deleted.has_value());
    EXPECT_EQ(*deleted,
              nlohmann::json::parse(R"({"content":[{"type":"text","text":"Not approved: delete_file needs confirmation, )"
                                    R"(and there is no display and the client cannot ask its user"}],"isError":true})"));
    EXPECT_TRUE(QFile::exists(victim()));

    const QString marker = home.path() + QStringLiteral("/work/ran");
    const auto command = zarnel.callTool("execute_command", {{"command", "touch '" + marker.toStdString() + "'"}});
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->value("isError", false), true);
    EXPECT_FALSE(QFile::exists(marker));

    // Read-only tools never ask.
    const auto read = zarnel.callTool("read_file", {{"path", victim().toStdString()}});
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(resultText(*read), "keep me");

    // The refusals are failed calls in the log, each with its question's outcome.
    const auto log = zarnel.request("resources/read", {{"uri", "zarnel://activity-log"}});
    ASSERT_TRUE(log.has_value());
    const std::string text = log->dump();
    EXPECT_NE(text.find("Not approved: delete_file needs confirmation"), std::string::npos);
    EXPECT_NE(text.find("Tool error: delete_file"), std::string::npos);
}

TEST(LaunchAtLoginAtStart, WritesTheAutostartEntryTheSettingAsksFor)
{
    TemporaryHome home;
    home.writePreferences({{QStringLiteral("launchAtLogin"), true}});
    ZarnelProcess zarnel(home);
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize().has_value());
    QFile entry(home.configHome() + QStringLiteral("/autostart/com.tarvonic.zarnel.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly)) << entry.fileName().toStdString();
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.contains("\nExec=")) << text.constData();
    EXPECT_TRUE(text.contains(" --hidden\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nX-Tarvonic-Zarnel-Managed=true\n"));
}

} // namespace

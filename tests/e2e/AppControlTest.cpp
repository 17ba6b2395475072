#include "support/TemporaryHome.h"
#include "support/TestApplications.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

namespace {

TEST(AppControlOverStdio, LaunchesListsAndQuitsAnInstalledApplication)
{
    TestApplications apps;
    apps.addApplication(QStringLiteral("org.test.Notes"), QStringLiteral("Notes"), QStringLiteral("notes"));
    TemporaryHome home;
    ZarnelProcess zarnel(home);
    zarnel.environment().insert(QStringLiteral("XDG_DATA_HOME"), apps.dataDirectory());
    zarnel.environment().insert(QStringLiteral("XDG_DATA_DIRS"), apps.emptyDataDirectory());
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize());

    const auto launched = zarnel.callTool("launch_app", {{"app", "Notes"}, {"arguments", "--new-window"}});
    ASSERT_TRUE(launched);
    EXPECT_EQ(resultText(*launched), "Successfully launched: org.test.Notes.desktop");
    const auto record = apps.waitForRecord(QStringLiteral("notes"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->arguments, QStringList{QStringLiteral("--new-window")});

    const auto listed = zarnel.callTool("list_running_apps", nlohmann::json::object());
    ASSERT_TRUE(listed);
    EXPECT_EQ(resultText(*listed),
              "Running Applications:\n\n○ Notes\n   Desktop entry ID: org.test.Notes\n   PID: " + std::to_string(record->pid) + "\n\n");

    const auto quit = zarnel.callTool("quit_app", {{"app", "notes"}});
    ASSERT_TRUE(quit);
    EXPECT_EQ(resultText(*quit), "Successfully quit: Notes");
    EXPECT_TRUE(TestApplications::waitUntilEnded(record->pid));

    const auto script = zarnel.callTool("execute_applescript", {{"script", "return 1 + 1"}});
    ASSERT_TRUE(script);
    EXPECT_EQ(*script,
              (nlohmann::json{{"content", {{{"type", "text"}, {"text", "AppleScript error: AppleScript is not available on this system"}}}},
                              {"isError", true}}));
}

} // namespace

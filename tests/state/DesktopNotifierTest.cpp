#include "state/DesktopNotifier.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/ActivityLogEntry.h"
#include "state/SettingsManager.h"
#include "support/FakeClock.h"
#include "support/RecordingNotificationService.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

class Notifier : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    SettingsManager settings{store};
    FakeClock clock;
    RecordingNotificationService service;
    DesktopNotifier notifier{settings, service, clock};

    void logged(const char* message, LogType type)
    {
        if (const auto event = DesktopNotifier::eventOf(ActivityLogEntry{{}, clock.now(), QString::fromLatin1(message), type}))
            notifier.report(*event);
    }
};

TEST_F(Notifier, PostsConnectionsAndFailuresFromTheLogAtMostOncePerInterval)
{
    logged("Connected: Claude Code v1.0.3", LogType::Info);
    logged("Tool call: delete_file", LogType::ToolCall);
    logged("Tool error: delete_file", LogType::Error);
    logged("Tool error: execute_command", LogType::Error);
    logged("Tool success: read_file", LogType::Success);
    logged("Tool error: delete_file", LogType::Error);
    EXPECT_EQ(service.posted, QStringList{QStringLiteral("Client connected | Claude Code 1.0.3")});
    notifier.postDue();
    EXPECT_EQ(service.posted.size(), 1);
    clock.advance(10'000);
    notifier.postDue();
    EXPECT_EQ(service.posted.value(1), QStringLiteral("3 tool calls failed | delete_file, execute_command"));
}

TEST_F(Notifier, PostsNothingWhileSwitchedOffAndDropsWhatWasHeld)
{
    logged("Tool error: delete_file", LogType::Error);
    logged("Tool error: write_file", LogType::Error);
    settings.setShowNotifications(false);
    clock.advance(10'000);
    notifier.postDue();
    logged("Connected: Other v2", LogType::Info);
    EXPECT_EQ(service.posted, QStringList{QStringLiteral("Tool call failed | delete_file")});

    settings.setShowNotifications(true);
    clock.advance(10'000);
    logged("Connected: Other v2", LogType::Info);
    EXPECT_EQ(service.posted.value(1), QStringLiteral("Client connected | Other 2"));
}

TEST_F(Notifier, AFailureNamesItsReasonAndThePersonsOwnDenyIsNoFailure)
{
    const auto declined = ToolFailure{QStringLiteral("delete_file"), ToolFailure::declinedReason(QStringLiteral("delete_file"))};
    logged(qPrintable(declined.message()), LogType::Error);
    EXPECT_TRUE(service.posted.isEmpty());

    // Unanswered is not the person's choice: they may have been away.
    logged("Tool error: delete_file: Not approved: delete_file was not answered", LogType::Error);
    EXPECT_EQ(service.posted, QStringList{QStringLiteral("Tool call failed | delete_file: Not approved: delete_file was not answered")});
    clock.advance(10'000);
    logged("Tool error: read_file: File not found: /tmp/a: b", LogType::Error);
    EXPECT_EQ(service.posted.value(1), QStringLiteral("Tool call failed | read_file: File not found: /tmp/a: b"));
}

} // namespace

#include "control/WaitingClientNotices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/SettingsManager.h"
#include "support/RecordingNotificationService.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

class WaitingNotices : public ::testing::Test {
protected:
    static InstanceInfo waiting(qint64 pid, const QString& client)
    {
        InstanceInfo info;
        info.pid = pid;
        info.waiting = true;
        info.clientName = client;
        return info;
    }

    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    SettingsManager settings{store};
    RecordingNotificationService service;
    int starts = 0;
    WaitingClientNotices notices{settings, service, [this] { ++starts; }};
};

TEST_F(WaitingNotices, TellsOncePerWaitingClientWithAStartButton)
{
    notices.show({waiting(10, QStringLiteral("Claude Code"))});
    notices.show({waiting(10, QStringLiteral("Claude Code")), waiting(11, QString())});
    EXPECT_EQ(service.posted,
              (QStringList{QStringLiteral("Claude Code is waiting for Zarnel | Its requests wait until Zarnel is started. [Start]"),
                           QStringLiteral("A client is waiting for Zarnel | Its requests wait until Zarnel is started. [Start]")}));
    ASSERT_EQ(service.buttons.size(), 2);
    service.buttons[0]();
    EXPECT_EQ(starts, 1);

    // Served, then waiting again after another stop: news again.
    notices.show({});
    notices.show({waiting(10, QStringLiteral("Claude Code"))});
    EXPECT_EQ(service.posted.size(), 3);
}

TEST_F(WaitingNotices, SaysNothingWhileNotificationsAreOff)
{
    settings.setShowNotifications(false);
    notices.show({waiting(10, QStringLiteral("Claude Code"))});
    EXPECT_TRUE(service.posted.isEmpty());
    // Switched on while it still waits: it is told of then.
    settings.setShowNotifications(true);
    notices.show({waiting(10, QStringLiteral("Claude Code"))});
    EXPECT_EQ(service.posted.size(), 1);
}

} // namespace

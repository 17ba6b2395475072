#include "ui/dashboard/Dashboard.h"
#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/StatisticsManager.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/TemporaryHome.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTest>

namespace {

class DashboardTest : public ::testing::Test {
protected:
    // What another process saves to the store they share.
    void saveElsewhere(int totalRequests)
    {
        QSettings other(home.preferencesPath(), QSettings::IniFormat);
        other.setValue(QStringLiteral("stats_totalRequests"), totalRequests);
        other.sync();
    }

    TemporaryHome home;
    QSettingsPreferencesStore store{home.preferencesPath()};
    FakeClock clock;
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlFolder folder{home.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/zarnel")};
    RunningInstances instances{folder};
    Dashboard dashboard{components, instances, std::make_shared<FakeClipboard>(), {}};
};

TEST_F(DashboardTest, ReadsWhatOtherProcessesSaveOnlyWhileShownAndAtOnceWhenShownAgain)
{
    saveElsewhere(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return components.statistics().totalRequests() == 3; }, 5000));

    dashboard.followStatistics(false);
    saveElsewhere(7);
    QTest::qWait(Dashboard::kStatisticsFollowMs * 2);
    EXPECT_EQ(components.statistics().totalRequests(), 3);

    dashboard.followStatistics(true);
    EXPECT_EQ(components.statistics().totalRequests(), 7);
    saveElsewhere(9);
    EXPECT_TRUE(QTest::qWaitFor([&] { return components.statistics().totalRequests() == 9; }, 5000));
}

} // namespace

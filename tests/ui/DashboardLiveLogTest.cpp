#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "control/ControlServer.h"
#include "control/RunningInstances.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/processes/Clock.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/StatisticsManager.h"
#include "support/FakeStandardStreams.h"
#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"
#include "tools/ToolRegistry.h"
#include "ui/dashboard/ActivityLogPage.h"
#include "ui/dashboard/Dashboard.h"
#include "ui/models/ActivityLogFilterModel.h"
#include "ui/models/ActivityLogModel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>

namespace {

bool logShows(const QAbstractItemModel& rows, const QString& message, QString* client)
{
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.index(row, ActivityLogModel::MessageColumn).data().toString() == message) {
            *client = rows.index(row, ActivityLogModel::ClientColumn).data().toString();
            return true;
        }
    }
    return false;
}

// This process plays the desktop instance with its dashboard shown; a client drives a second,
// headless zarnel, and what that one logs appears on this one's Activity Log page.
TEST(DashboardLiveLog, AnotherProcessesEntriesShowOnTheActivityLogPage)
{
    TemporaryHome home;
    const QProcessEnvironment environment = home.environment();
    for (const QString& key : environment.keys()) {
        if (key == "HOME" || key.startsWith("XDG_"))
            qputenv(key.toLocal8Bit(), environment.value(key).toLocal8Bit());
    }
    QSettingsPreferencesStore store(home.preferencesPath());
    SystemClock clock;
    FakeStandardStreams streams;
    ServerComponents components(store, clock, streams, SystemServices::forThisSession());
    ControlServer control(components);
    control.setDesktop(true);
    ASSERT_TRUE(control.listen()) << control.problem().toStdString();
    RunningInstances instances;
    instances.setLocalSettings(&components.settings());
    Dashboard dashboard(components, instances, nullptr, {});
    QList<QWidget*> pages = dashboard.createPages();
    auto* logPage = qobject_cast<ActivityLogPage*>(pages.at(2));
    ASSERT_NE(logPage, nullptr);
    logPage->resize(900, 600);
    logPage->show();

    ZarnelProcess second(home);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return instances.processCount() == 2; }, 15000)) << "the second process was not found";
    ASSERT_TRUE(second.initialize());
    ASSERT_TRUE(second.callTool("get_system_info", nlohmann::json::object()));

    QString client;
    EXPECT_TRUE(QTest::qWaitFor([&] { return logShows(logPage->filter(), "Tool success: get_system_info", &client); }, 2000));
    EXPECT_EQ(client, "zarnel-tests");
    EXPECT_TRUE(logShows(logPage->filter(), "Connected: zarnel-tests v1.0", &client));
    qDeleteAll(pages);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "server/MCPServer.h"
#include "state/ActivityLog.h"
#include "state/StatisticsManager.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

TEST(ServerComponentsShutdown, AddsTheRunningSessionOnceAndSavesTheStatistics)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zarnel.conf"));
    QSettingsPreferencesStore store(path);
    FakeClock clock;
    FakeStandardStreams streams;
    ServerComponents components(store, clock, streams, SystemServices::forThisSession());

    components.server().start();
    streams.feed("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n");
    QCoreApplication::processEvents();
    ASSERT_EQ(streams.takeLines().size(), 1);
    clock.advance(90000);

    components.shutdown();
    clock.advance(30000);
    components.shutdown(); // the signal handler and the end of the event loop both get here

    QSettings stored(path, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("stats_totalRequests")).toInt(), 1);
    EXPECT_DOUBLE_EQ(stored.value(QStringLiteral("stats_totalUptime")).toDouble(), 90.0);
    EXPECT_FALSE(components.statistics().needsSave());
}

TEST(ServerComponents, RefuseAnIncompleteSetOfServices)
{
    QTemporaryDir dir;
    QSettingsPreferencesStore store(dir.filePath(QStringLiteral("zarnel.conf")));
    FakeClock clock;
    FakeStandardStreams streams;
    PlatformServices services = SystemServices::forThisSession();
    services.files.reset();
    EXPECT_THROW(ServerComponents(store, clock, streams, std::move(services)), std::invalid_argument);
}

} // namespace

#include "control/ServerState.h"
#include "control/ServerComponents.h"
#include "server/MCPServer.h"
#include "support/InProcessServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class ServerStateTest : public InProcessServer {
protected:
    QTemporaryDir runtime;
    ControlFolder folder{runtime.path() + QStringLiteral("/zarnel")};

    QString statePath() const { return folder.path() + QStringLiteral("/server-state"); }

    static bool waitFor(const std::function<bool()>& condition)
    {
        QDeadlineTimer deadline(5000);
        while (!condition() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return condition();
    }
};

TEST_F(ServerStateTest, IsNoneUntilChosenAndThenHoldsForEveryReader)
{
    ServerState state(folder);
    EXPECT_FALSE(state.chosen());
    ASSERT_TRUE(state.choose(false)) << state.problem().toStdString();
    EXPECT_EQ(ServerState(folder).chosen(), false);
    ASSERT_TRUE(state.choose(true));
    EXPECT_EQ(ServerState(folder).chosen(), true);
    // Only this user may read or replace it.
    EXPECT_EQ(QFile::permissions(statePath()), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("server-state")});

    // The choice, or autoStartServer when there is none.
    EXPECT_TRUE(ServerState::startsAtLaunch(std::nullopt, true));
    EXPECT_FALSE(ServerState::startsAtLaunch(std::nullopt, false));
    EXPECT_FALSE(ServerState::startsAtLaunch(false, true));
    EXPECT_TRUE(ServerState::startsAtLaunch(true, false));
}

TEST_F(ServerStateTest, WhatIsNotOursInItsPlaceIsNoChoiceAndHoldsNobodyUp)
{
    ASSERT_TRUE(folder.prepare());
    QFile other(runtime.path() + QStringLiteral("/elsewhere"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("started\n");
    other.close();
    ASSERT_TRUE(QFile::link(other.fileName(), statePath()));
    EXPECT_FALSE(ServerState(folder).chosen());
    // Choosing replaces the link, not what it points at.
    ASSERT_TRUE(ServerState(folder).choose(false));
    EXPECT_EQ(ServerState(folder).chosen(), false);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), QByteArray("started\n"));

    // A pipe would block a reader that opened it plainly.
    QFile::remove(statePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(statePath()).constData(), 0600), 0);
    EXPECT_FALSE(ServerState(folder).chosen());
    QFile::remove(statePath());

    QFile garbage(statePath());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(100000, 's'));
    garbage.close();
    EXPECT_FALSE(ServerState(folder).chosen());

    // A folder others may enter is not trusted, nor written in.
    ServerState state(folder);
    ASSERT_TRUE(state.choose(true));
    QFile::setPermissions(folder.path(), QFile::permissions(folder.path()) | QFile::ExeOther | QFile::ReadOther);
    EXPECT_FALSE(state.chosen());
    EXPECT_FALSE(state.choose(false));
    EXPECT_TRUE(state.problem().contains(QStringLiteral("open to other users"))) << state.problem().toStdString();
}

TEST_F(ServerStateTest, AServerFollowsTheChoiceMadeAnywhereAndTakesItAtItsStart)
{
    ASSERT_TRUE(ServerState(folder).choose(false));
    MCPServer& server = components->server();
    ServerState followed(folder);
    // autoStartServer would start it; the person's stop holds.
    followed.drive(server, true);
    EXPECT_FALSE(server.isRunning());

    ServerState elsewhere(folder);
    ASSERT_TRUE(elsewhere.choose(true));
    EXPECT_TRUE(waitFor([&] { return server.isRunning(); }));
    ASSERT_TRUE(elsewhere.choose(false));
    EXPECT_TRUE(waitFor([&] { return !server.isRunning(); }));
}

TEST_F(ServerStateTest, WithNoChoiceAutoStartServerDecides)
{
    ServerState none(folder);
    none.drive(components->server(), true);
    EXPECT_TRUE(components->server().isRunning());
}

} // namespace

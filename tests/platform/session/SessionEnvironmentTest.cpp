#include "platform/session/SessionEnvironment.h"

#include "support/FakeUserManager.h"
#include "support/PrivateSessionBus.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// A stand-in for /run/user holding this user's runtime folder, as systemd-logind makes it.
class SessionEnvironmentTest : public ::testing::Test {
protected:
    SessionEnvironmentTest()
    {
        QDir(root.path()).mkdir(QString::number(user));
        QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString runtimeDir() const { return root.path() + u'/' + QString::number(user); }
    QString busSocket() const { return runtimeDir() + QStringLiteral("/bus"); }

    QList<SessionEnvironment::Variable> discover(const QProcessEnvironment& environment = {}) const
    {
        return SessionEnvironment(root.path(), user).discover(environment);
    }

    static QStringList names(const QList<SessionEnvironment::Variable>& found)
    {
        QStringList result;
        for (const auto& variable : found)
            result.append(variable.name + u'=' + variable.value);
        return result;
    }

    static QProcessEnvironment with(std::initializer_list<std::pair<QString, QString>> variables)
    {
        QProcessEnvironment environment;
        for (const auto& [name, value] : variables)
            environment.insert(name, value);
        return environment;
    }

    QString writeAuthority() const
    {
        const QString path = home.filePath(QStringLiteral("Xauthority"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    const uid_t user = ::getuid();
    QTemporaryDir root;
    QTemporaryDir home;
};

} // namespace

TEST_F(SessionEnvironmentTest, FindsTheRuntimeFolderItsBusAndTheDisplayTheUserManagerKnows)
{
    XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    PrivateSessionBus bus(busSocket());
    ASSERT_TRUE(bus.isRunning());
    const QString authority = writeAuthority();
    FakeUserManager manager(
        bus.address(),
        {QStringLiteral("DISPLAY=") + x.display(), QStringLiteral("XAUTHORITY=") + authority, QStringLiteral("LANG=C.UTF-8")});
    ASSERT_TRUE(manager.isServing());

    const auto found = discover();
    const QString busAddress = QStringLiteral("unix:path=") + busSocket();
    EXPECT_EQ(names(found),
              (QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir(), QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + busAddress,
                           QStringLiteral("DISPLAY=") + x.display(), QStringLiteral("XAUTHORITY=") + authority}));
    EXPECT_EQ(SessionEnvironment::describe(found),
              QStringLiteral("zarnel: found this user's desktop session: XDG_RUNTIME_DIR=%1 (from this user's runtime folder), "
                             "DBUS_SESSION_BUS_ADDRESS=%2 (from the session bus socket in the runtime folder), "
                             "DISPLAY=%3 (from the systemd user manager), XAUTHORITY=%4 (from the systemd user manager)")
                  .arg(runtimeDir(), busAddress, x.display(), authority));

    // What the environment holds is kept; only the missing parts are looked for.
    EXPECT_EQ(names(discover(with({{QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir()}, {QStringLiteral("DISPLAY"), x.display()}}))),
              (QStringList{QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + busAddress, QStringLiteral("XAUTHORITY=") + authority}));
    // The key to the manager's display is not handed to another display.
    EXPECT_EQ(names(discover(
                  with({{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress}, {QStringLiteral("DISPLAY"), QStringLiteral(":77")}}))),
              QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir()});
    const auto complete = with({{QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/elsewhere")},
                                {QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/elsewhere/bus")},
                                {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1")},
                                {QStringLiteral("XAUTHORITY"), QStringLiteral("/elsewhere/auth")}});
    EXPECT_TRUE(discover(complete).isEmpty());
    EXPECT_TRUE(SessionEnvironment::describe({}).isEmpty());
}

TEST_F(SessionEnvironmentTest, TakesAWaylandDisplayOnlyWhenItsSocketIsThereAndAnXDisplayOnlyWhenItRuns)
{
    PrivateSessionBus bus(busSocket());
    ASSERT_TRUE(bus.isRunning());
    PrivateSessionBus compositor(runtimeDir() + QStringLiteral("/wayland-7")); // any socket of ours will do
    ASSERT_TRUE(compositor.isRunning());
    FakeUserManager manager(bus.address(), {QStringLiteral("WAYLAND_DISPLAY=wayland-7"), QStringLiteral("DISPLAY=:4242")});
    ASSERT_TRUE(manager.isServing());
    // :4242 is a display of a session that has ended: no X server listens there.
    EXPECT_EQ(
        names(discover()),
        (QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir(), QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + busSocket(),
                     QStringLiteral("WAYLAND_DISPLAY=wayland-7")}));
}

TEST_F(SessionEnvironmentTest, StaysHeadlessWithNothingOfTheUsersOwn)
{
    // No manager on the bus: the bus is found, no display.
    {
        PrivateSessionBus bus(busSocket());
        ASSERT_TRUE(bus.isRunning());
        EXPECT_EQ(names(discover()),
                  (QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir(),
                               QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + busSocket()}));
    }

    // A "bus" that is a plain file, or a link to a socket, is not a bus of ours.
    QFile::remove(busSocket());
    QFile plain(busSocket());
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(names(discover()), QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir()});
    QFile::remove(busSocket());
    PrivateSessionBus elsewhere(home.filePath(QStringLiteral("bus")));
    ASSERT_TRUE(elsewhere.isRunning());
    ASSERT_TRUE(QFile::link(home.filePath(QStringLiteral("bus")), busSocket()));
    EXPECT_EQ(names(discover()), QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + runtimeDir()});

    // A runtime folder others can enter is not the private one systemd-logind makes.
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    EXPECT_TRUE(discover().isEmpty());

    // Another user's folder, at our place.
    if (user == 0) {
        QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_EQ(::chown(QFile::encodeName(runtimeDir()).constData(), 65534, 65534), 0);
        EXPECT_TRUE(discover().isEmpty());
    }

    // No folder at all.
    EXPECT_TRUE(SessionEnvironment(root.path(), user + 1).discover({}).isEmpty());
}

#include "platform/processes/DetachedLauncher.h"

#include "support/TestApplications.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class DetachedLauncherTest : public ::testing::Test {
protected:
    QString records() const { return m_apps.binDirectory() + QStringLiteral("/../records"); }
    TestApplications m_apps;
    const QString m_program = m_apps.installProgram(QStringLiteral("stand-in"));
};

TEST_F(DetachedLauncherTest, StartsTheProgramInItsOwnSessionWithNothingOfOurs)
{
    const int inheritable = ::dup(STDERR_FILENO);
    const DetachedLaunch launch = DetachedLauncher::start({m_program, records(), QStringLiteral("an argument")}, QStringLiteral("/"), 20ms);
    ::close(inheritable);
    const auto record = m_apps.waitForRecord(QStringLiteral("stand-in"));
    ASSERT_TRUE(record);
    ASSERT_TRUE(launch.succeeded()) << launch.error.toStdString();

    EXPECT_EQ(launch.pid, record->pid);
    EXPECT_EQ(record->arguments, QStringList{QStringLiteral("an argument")});
    EXPECT_EQ(::getsid(record->pid), record->pid);
    const QString fds = QStringLiteral("/proc/%1/fd").arg(record->pid);
    EXPECT_EQ(QDir(fds).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
              (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    for (const char* fd : {"/0", "/1", "/2"})
        EXPECT_EQ(QFile::symLinkTarget(fds + QLatin1String(fd)), QStringLiteral("/dev/null"));
    EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(record->pid)), QStringLiteral("/"));
}

TEST_F(DetachedLauncherTest, ReportsAProgramThatDoesNotStartOrEndsAtOnceUnsuccessfully)
{
    const auto errorOf = [](const QStringList& command, const QString& directory = {}) {
        return DetachedLauncher::start(command, directory, 30s).error.toStdString();
    };
    EXPECT_EQ(errorOf({QStringLiteral("/nonexistent/tool")}), "/nonexistent/tool: No such file or directory");
    EXPECT_EQ(errorOf({QStringLiteral("zarnel-no-such-program")}), "zarnel-no-such-program: No such file or directory");
    EXPECT_EQ(errorOf({m_program, records()}, QStringLiteral("/nonexistent")), m_program.toStdString() + ": No such file or directory");
    EXPECT_EQ(errorOf({m_program, records(), QStringLiteral("--fail")}), m_program.toStdString() + " exited with status 3");
    EXPECT_EQ(errorOf({QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("kill -TERM $$")}),
              "/bin/sh was ended by signal 15 (Terminated)");
    // Ending at once is fine when it is a success: a launcher handing over to a running instance.
    EXPECT_EQ(errorOf({QStringLiteral("/bin/true")}), "");
}

} // namespace

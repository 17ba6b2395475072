#include "platform/desktop/LinuxWorkspace.h"

#include "platform/processes/ProcessTable.h"
#include "tools/apps/AppToolFixture.h"

#include <QFile>

namespace {

class LinuxWorkspaceTest : public AppToolTest {
protected:
    // name/identifier/pid[/active] of each running application.
    QStringList running() const
    {
        QStringList lines;
        for (const RunningApplication& application : m_workspace->runningApplications())
            lines << QStringLiteral("%1/%2/%3%4")
                         .arg(application.localizedName.value_or(QStringLiteral("-")),
                              application.bundleIdentifier.value_or(QStringLiteral("-")))
                         .arg(application.processIdentifier)
                         .arg(application.isActive ? QStringLiteral("/active") : QString());
        return lines;
    }
};

TEST_F(LinuxWorkspaceTest, RecognisesAnApplicationThatIsAScript)
{
    const QString script = m_apps.binDirectory() + QStringLiteral("/scripted");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nwhile :; do sleep 1; done\n");
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    m_apps.writeEntry(QStringLiteral("org.test.Scripted"), QStringLiteral("Type=Application\nName=Scripted\nExec=%1\n").arg(script));
    // An entry that runs a shell command line must not claim every shell.
    m_apps.writeEntry(QStringLiteral("org.test.Shell"), QStringLiteral("Type=Application\nName=Shell\nExec=sh -c \"exit 0\"\n"));

    const qint32 pid = m_apps.start({script});
    ASSERT_GT(pid, 0);

    EXPECT_EQ(running(), QStringList{QStringLiteral("Scripted/org.test.Scripted/%1").arg(pid)});
}

TEST_F(LinuxWorkspaceTest, CountsHelperProcessesAsPartOfTheirApplication)
{
    m_apps.addApplication(QStringLiteral("org.test.Browser"), QStringLiteral("Browser"), QStringLiteral("browser"));
    const qint32 pid = m_apps.startProgram(QStringLiteral("browser"), {QStringLiteral("--fork-helper")});
    qint32 helper = 0;
    for (const ProcessInfo& process : ProcessTable::processesOfCurrentUser()) {
        if (process.parentPid == pid)
            helper = process.pid;
    }
    ASSERT_GT(helper, 0);

    // The helper's window makes its application the active one.
    m_activeWindow->setOwner(helper);
    EXPECT_EQ(running(), QStringList{QStringLiteral("Browser/org.test.Browser/%1/active").arg(pid)});
}

} // namespace

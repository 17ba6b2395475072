#include "platform/processes/ProcessTable.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::optional<ProcessInfo> find(qint32 pid)
{
    for (ProcessInfo& process : ProcessTable::processesOfCurrentUser()) {
        if (process.pid == pid)
            return std::move(process);
    }
    return std::nullopt;
}

TEST(ProcessTable, NeverSignalsOurOwnProcessOrAnotherUsersProcess)
{
    // Were the guard missing, this test's process would end here.
    EXPECT_FALSE(ProcessTable::sendTermination(::getpid(), false));

    if (::getuid() != 0)
        GTEST_SKIP() << "starting a process of another user needs root";
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The raw call: glibc's setuid would try to reach threads the child does not have.
        if (::syscall(SYS_setuid, 65534) != 0)
            _exit(1);
        char* const argv[] = {const_cast<char*>("sleep"), const_cast<char*>("1000"), nullptr};
        ::execv("/bin/sleep", argv);
        _exit(1);
    }
    ASSERT_GT(pid, 0);
    // The exec follows the change of user: once the child runs sleep, it is the other user's.
    QDeadlineTimer deadline(10000);
    while (!QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).endsWith(QStringLiteral("/sleep")) && !deadline.hasExpired())
        QThread::msleep(10);

    EXPECT_FALSE(find(pid));
    EXPECT_FALSE(ProcessTable::sendTermination(pid, true));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the other user's process ended";
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

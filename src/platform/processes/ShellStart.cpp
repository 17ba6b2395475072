#include "platform/processes/ShellStart.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Makes `fd` the descriptor `target`, open across the exec.
bool placeAt(int fd, int target)
{
    if (fd == target)
        return ::fcntl(fd, F_SETFD, 0) == 0;
    return ::dup2(fd, target) == target;
}

// Tells the parent why the child cannot become the shell.
[[noreturn]] void reportFailure(int report)
{
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
    ::_exit(127);
}

[[noreturn]] void becomeShell(const ShellStart& start, int report)
{
    // Ended with us even when we are killed with SIGKILL, rather than running on with nobody
    // left to stop it at its time limit. The check after it covers our death just before.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        reportFailure(report);
    if (::getppid() != start.parent)
        ::_exit(127);
    // A group of its own lets the time limit reach everything the command started.
    ::setpgid(0, 0);
    // Never our standard input: in server mode it carries the protocol stream.
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0 || !placeAt(input, STDIN_FILENO) || !placeAt(start.output, STDOUT_FILENO) || !placeAt(start.error, STDERR_FILENO))
        reportFailure(report);
    if (start.directory && ::chdir(start.directory) != 0)
        reportFailure(report);
    // We ignore SIGPIPE and catch termination signals; the command gets the defaults back.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(start.shell, start.argv, environ);
    reportFailure(report);
}

} // namespace

int startShell(const ShellStart& start, pid_t& pid)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;
    // No handler of ours may run in the child before it has reset them.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        becomeShell(start, report[1]);
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        return forkError;
    }
    // Also here, so that the group exists before we signal it, whichever of us runs first.
    ::setpgid(child, child);
    int childError = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        ::waitpid(child, nullptr, 0);
        return childError;
    }
    pid = child;
    return 0;
}

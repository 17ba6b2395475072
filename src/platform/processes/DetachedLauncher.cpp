#include "platform/processes/DetachedLauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace {

// What the intermediate process tells us about the program.
struct Report {
    enum Kind : int { Running, NotStarted, Ended } kind = NotStarted;
    int value = 0; // errno for NotStarted, the wait status for Ended
    pid_t pid = 0;
};

// Between fork and exec only async-signal-safe calls are allowed: we may have other threads
// whose locks (malloc's among them) the child inherits held.
bool writeAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

ssize_t readAll(int fd, void* data, size_t size)
{
    char* bytes = static_cast<char*>(data);
    size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, bytes + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += size_t(got);
    }
    return ssize_t(total);
}

pid_t waitFor(pid_t pid, int* status, int options)
{
    pid_t result;
    do {
        result = ::waitpid(pid, status, options);
    } while (result < 0 && errno == EINTR);
    return result;
}

long long monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

[[noreturn]] void runProgram(const char* program, char* const* argv, const char* workingDirectory, int errorFd, int maxFd)
{
    ::setsid();

    // Signal masks and ignored signals survive exec; the program gets neither of ours.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        sigaction(signal, &standard, nullptr);

    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO)
            ::close(null);
    }
    // Everything else closes at exec, the error pipe included, so that its end of file tells
    // the intermediate process the exec went through.
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < maxFd; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }

    if (workingDirectory && ::chdir(workingDirectory) != 0) {
        const int error = errno;
        writeAll(errorFd, &error, sizeof error);
        _exit(127);
    }
    ::execve(program, argv, environ);
    const int error = errno;
    writeAll(errorFd, &error, sizeof error);
    _exit(127);
}

// The intermediate process: starts the program, reports how it went and exits, so that the
// program is adopted by the system (or the nearest subreaper) rather than left to us.
[[noreturn]] void runIntermediate(const char* program, char* const* argv, const char* workingDirectory, int reportFd, int maxFd,
                                  long long settleMs)
{
    Report report;
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        report.value = errno;
        writeAll(reportFd, &report, sizeof report);
        _exit(0);
    }
    const pid_t child = ::fork();
    if (child < 0) {
        report.value = errno;
        writeAll(reportFd, &report, sizeof report);
        _exit(0);
    }
    if (child == 0)
        runProgram(program, argv, workingDirectory, errorPipe[1], maxFd);
    ::close(errorPipe[1]);

    int execError = 0;
    if (readAll(errorPipe[0], &execError, sizeof execError) == ssize_t(sizeof execError)) {
        waitFor(child, nullptr, 0);
        report.value = execError;
        writeAll(reportFd, &report, sizeof report);
        _exit(0);
    }

    report.pid = child;
    report.kind = Report::Running;
    const long long deadline = monotonicMs() + settleMs;
    for (;;) {
        int status = 0;
        if (waitFor(child, &status, WNOHANG) == child) {
            report.kind = Report::Ended;
            report.value = status;
            break;
        }
        if (monotonicMs() >= deadline)
            break;
        const timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    writeAll(reportFd, &report, sizeof report);
    _exit(0);
}

QString resolveProgram(const QString& program)
{
    if (program.contains(u'/'))
        return program;
    return QStandardPaths::findExecutable(program);
}

QString describe(const QString& program, int error)
{
    return QStringLiteral("%1: %2").arg(program, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

namespace DetachedLauncher {

DetachedLaunch start(const QStringList& arguments, const QString& workingDirectory, std::chrono::milliseconds settle)
{
    DetachedLaunch result;
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        result.error = QStringLiteral("no program to start");
        return result;
    }
    const QString programName = arguments.first();
    const QString program = resolveProgram(programName);
    if (program.isEmpty()) {
        result.error = describe(programName, ENOENT);
        return result;
    }

    // Everything the children need is prepared here: they may not allocate.
    const QByteArray programPath = QFile::encodeName(program);
    std::vector<QByteArray> encoded;
    encoded.reserve(size_t(arguments.size()));
    for (const QString& argument : arguments)
        encoded.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray directory = QFile::encodeName(workingDirectory);
    rlimit limit{};
    const int maxFd =
        getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? int(std::min<rlim_t>(limit.rlim_cur, 1 << 20)) : 1 << 16;

    int reportPipe[2];
    if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
        result.error = describe(programName, errno);
        return result;
    }
    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        const int error = errno;
        ::close(reportPipe[0]);
        ::close(reportPipe[1]);
        result.error = describe(programName, error);
        return result;
    }
    if (intermediate == 0) {
        ::close(reportPipe[0]);
        runIntermediate(programPath.constData(), argv.data(), directory.isEmpty() ? nullptr : directory.constData(), reportPipe[1], maxFd,
                        settle.count());
    }
    ::close(reportPipe[1]);
    Report report;
    const bool reported = readAll(reportPipe[0], &report, sizeof report) == ssize_t(sizeof report);
    ::close(reportPipe[0]);
    waitFor(intermediate, nullptr, 0);

    if (!reported) {
        result.error = QStringLiteral("%1: the start was interrupted").arg(programName);
        return result;
    }
    switch (report.kind) {
    case Report::NotStarted: result.error = describe(programName, report.value); break;
    case Report::Ended:
        if (WIFEXITED(report.value) && WEXITSTATUS(report.value) != 0)
            result.error = QStringLiteral("%1 exited with status %2").arg(programName).arg(WEXITSTATUS(report.value));
        else if (WIFSIGNALED(report.value))
            result.error = QStringLiteral("%1 was ended by signal %2 (%3)")
                               .arg(programName)
                               .arg(WTERMSIG(report.value))
                               .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(report.value))));
        else
            result.pid = report.pid;
        break;
    case Report::Running: result.pid = report.pid; break;
    }
    return result;
}

} // namespace DetachedLauncher

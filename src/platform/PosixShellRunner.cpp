#include "platform/PosixShellRunner.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a running command looks at stopRequested: a client that gives up on a command
// sees it stopped within this time plus the grace period.
constexpr milliseconds kStopPollInterval{100};
// Without a process descriptor the exit of the shell is noticed by polling at this interval.
constexpr milliseconds kExitPollInterval{20};
// After SIGKILL only a process that left the group can still hold our pipes open; we stop
// reading them after this long.
constexpr milliseconds kDrainAfterKill{2000};

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A pipe's reading end and what came through it.
struct CapturedStream {
    int fd = -1;
    QByteArray bytes;
    qint64 omitted = 0;

    bool open() const { return fd >= 0; }

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    // Reads what is available now; closes the descriptor at the end of the stream.
    void readAvailable()
    {
        std::array<char, 65536> chunk;
        while (fd >= 0) {
            const ssize_t n = ::read(fd, chunk.data(), chunk.size());
            if (n > 0) {
                const qint64 room = std::max<qint64>(0, ShellRunner::kMaxCapturedBytes - bytes.size());
                const qint64 kept = std::min<qint64>(room, n);
                bytes.append(chunk.data(), kept);
                omitted += n - kept;
            } else if (n == 0) {
                close();
            } else if (errno == EINTR) {
                continue;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return;
            } else {
                close();
            }
        }
    }
};

int statusToExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

bool groupHasMembers(pid_t group)
{
    return ::kill(-group, 0) == 0 || errno == EPERM;
}

std::optional<QString> workingDirectoryProblem(const QString& directory)
{
    const QByteArray path = QFile::encodeName(directory);
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        return errorText(errno);
    if (!S_ISDIR(info.st_mode))
        return errorText(ENOTDIR);
    if (::access(path.constData(), X_OK) != 0)
        return errorText(errno);
    return std::nullopt;
}

// Owns the spawn attributes and file actions for the duration of one start.
class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

PosixShellRunner::PosixShellRunner(std::chrono::milliseconds gracePeriod)
    : m_gracePeriod(gracePeriod)
{
}

QString PosixShellRunner::shellPath()
{
    for (const char* candidate : {"/bin/zsh", "/bin/bash", "/bin/sh"}) {
        if (::access(candidate, X_OK) == 0)
            return QString::fromLatin1(candidate);
    }
    return QStringLiteral("/bin/sh");
}

ShellOutcome PosixShellRunner::run(const ShellCommand& command, const std::function<bool()>& stopRequested) const
{
    ShellOutcome outcome;
    if (command.workingDirectory) {
        if (const auto problem = workingDirectoryProblem(*command.workingDirectory)) {
            outcome.startError = QStringLiteral("cannot use working directory '%1': %2").arg(*command.workingDirectory, *problem);
            return outcome;
        }
    }

    int outputPipe[2];
    int errorPipe[2];
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        outcome.startError = errorText(errno);
        return outcome;
    }
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        outcome.startError = errorText(errno);
        ::close(outputPipe[0]);
        ::close(outputPipe[1]);
        return outcome;
    }

    const QByteArray shell = QFile::encodeName(shellPath());
    const QByteArray commandText = command.command.toUtf8();
    const QByteArray directory = command.workingDirectory ? QFile::encodeName(*command.workingDirectory) : QByteArray();
    char* const argv[] = {const_cast<char*>(shell.constData()), const_cast<char*>("-c"), const_cast<char*>(commandText.constData()),
                          nullptr};

    pid_t pid = -1;
    int spawnError = 0;
    {
        SpawnSetup setup;
        // Never our standard input: in server mode it carries the protocol stream.
        posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&setup.actions, outputPipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&setup.actions, errorPipe[1], STDERR_FILENO);
        if (command.workingDirectory)
            posix_spawn_file_actions_addchdir_np(&setup.actions, directory.constData());
        // A group of its own lets the time limit reach everything the command started. We
        // ignore SIGPIPE ourselves; the command must get the default dispositions back.
        sigset_t noSignals;
        sigset_t allSignals;
        sigemptyset(&noSignals);
        sigfillset(&allSignals);
        posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        posix_spawnattr_setpgroup(&setup.attributes, 0);
        posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
        posix_spawnattr_setsigdefault(&setup.attributes, &allSignals);
        spawnError = posix_spawn(&pid, shell.constData(), &setup.actions, &setup.attributes, argv, environ);
    }
    ::close(outputPipe[1]);
    ::close(errorPipe[1]);
    CapturedStream output;
    output.fd = outputPipe[0];
    CapturedStream error;
    error.fd = errorPipe[0];
    if (spawnError != 0) {
        output.close();
        error.close();
        outcome.startError = errorText(spawnError);
        return outcome;
    }
    outcome.started = true;
    ::fcntl(output.fd, F_SETFL, O_NONBLOCK);
    ::fcntl(error.fd, F_SETFL, O_NONBLOCK);
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));

    enum class Phase { Running, Terminating, Killed };
    Phase phase = Phase::Running;
    const auto started = SteadyClock::now();
    const auto deadline = command.timeLimit >= std::chrono::hours(24 * 365) ? SteadyClock::time_point::max() : started + command.timeLimit;
    SteadyClock::time_point killAt;
    SteadyClock::time_point giveUpAt;
    bool shellExited = false;
    int status = 0;

    for (;;) {
        if (!shellExited) {
            const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
            shellExited = reaped == pid || (reaped < 0 && errno == ECHILD);
        }
        // The command is done when its shell has exited and nothing holds its output open; after
        // a termination, also when nothing of its group is left.
        if (shellExited && !output.open() && !error.open()) {
            if (phase != Phase::Terminating || !groupHasMembers(pid))
                break;
        }

        const auto now = SteadyClock::now();
        if (phase == Phase::Running && (now >= deadline || stopRequested())) {
            outcome.timedOut = now >= deadline;
            ::kill(-pid, SIGTERM);
            phase = Phase::Terminating;
            killAt = now + m_gracePeriod;
        }
        if (phase == Phase::Terminating && now >= killAt) {
            ::kill(-pid, SIGKILL);
            phase = Phase::Killed;
            giveUpAt = now + kDrainAfterKill;
        }
        if (phase == Phase::Killed && shellExited && now >= giveUpAt)
            break;

        milliseconds wait = kStopPollInterval;
        const auto until = [&](SteadyClock::time_point at) {
            wait = std::min(wait, std::chrono::ceil<milliseconds>(std::max(at - now, SteadyClock::duration::zero())));
        };
        if (phase == Phase::Running && deadline != SteadyClock::time_point::max())
            until(deadline);
        if (phase == Phase::Terminating)
            until(killAt);
        if (phase == Phase::Killed)
            until(giveUpAt);
        if (!shellExited && exitFd < 0)
            wait = std::min(wait, kExitPollInterval);
        if (shellExited && !output.open() && !error.open())
            wait = std::min(wait, kExitPollInterval);

        std::array<pollfd, 3> watched;
        nfds_t count = 0;
        for (const int fd : {output.fd, error.fd, shellExited ? -1 : exitFd}) {
            if (fd >= 0)
                watched[count++] = pollfd{fd, POLLIN, 0};
        }
        ::poll(watched.data(), count, static_cast<int>(wait.count()));
        output.readAvailable();
        error.readAvailable();
    }

    if (!shellExited)
        ::waitpid(pid, &status, 0);
    if (exitFd >= 0)
        ::close(exitFd);
    output.close();
    error.close();

    outcome.exitCode = statusToExitCode(status);
    outcome.standardOutput = std::move(output.bytes);
    outcome.standardError = std::move(error.bytes);
    outcome.standardOutputOmitted = output.omitted;
    outcome.standardErrorOmitted = error.omitted;
    return outcome;
}

#include "platform/processes/PosixShellRunner.h"

#include "platform/files/FileTree.h"
#include "platform/processes/CommandGroups.h"
#include "platform/processes/CommandSandbox.h"
#include "platform/processes/ShellStart.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <variant>
#include <vector>

extern char** environ;

namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a running command looks at stopRequested.
constexpr milliseconds kStopPollInterval{100};
// Without a process descriptor the exit of the shell is noticed by polling at this interval.
constexpr milliseconds kExitPollInterval{20};
// Output that arrives this soon after the shell has exited still belongs to the answer; what the
// command left running in the background may hold the pipes open far longer.
constexpr milliseconds kSettleAfterExit{100};
// After SIGKILL only a process that left the group can still hold our pipes open; we stop
// reading them after this long.
constexpr milliseconds kDrainAfterKill{2000};

// A pipe's reading end and what came through it.
struct CapturedStream {
    int fd = -1;
    QByteArray bytes;
    qint64 omitted = 0;
    // Set once the answer has been given: later output is read and dropped, so that a writer
    // left running is not stopped by a full or closed pipe.
    bool discarding = false;

    bool open() const { return fd >= 0; }
    // Everything that came through, kept or not.
    qint64 received() const { return bytes.size() + omitted; }

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
                if (discarding)
                    continue;
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

// A started command: its shell (whose process id is also its group's), the reading ends of its
// output, and where it stands on the way to its time limit.
struct CommandWatch {
    enum class Phase { Running, Terminating, Killed };

    pid_t pid = -1;
    int exitFd = -1;            // readable once the shell has exited; -1 without process descriptors
    QByteArray temporaryFolder; // a confined command's own, removed when nothing of it is left
    CapturedStream output;
    CapturedStream error;
    bool shellExited = false;
    int status = 0;
    Phase phase = Phase::Running;
    milliseconds grace{0};
    SteadyClock::time_point deadline = SteadyClock::time_point::max();
    SteadyClock::time_point killAt;
    SteadyClock::time_point giveUpAt;

    bool streamsOpen() const { return output.open() || error.open(); }

    void reap()
    {
        if (shellExited)
            return;
        const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
        shellExited = reaped == pid || (reaped < 0 && errno == ECHILD);
    }

    void terminate(SteadyClock::time_point now)
    {
        ::kill(-pid, SIGTERM);
        phase = Phase::Terminating;
        killAt = now + grace;
    }

    // Moves from the polite signal to the forceful one once the grace period is over.
    void escalate(SteadyClock::time_point now)
    {
        if (phase == Phase::Terminating && now >= killAt) {
            ::kill(-pid, SIGKILL);
            phase = Phase::Killed;
            giveUpAt = now + kDrainAfterKill;
        }
    }

    // The next moment something is due, so that waiting never oversleeps it.
    milliseconds timeUntilDue(SteadyClock::time_point now, milliseconds longest) const
    {
        milliseconds wait = longest;
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
        return wait;
    }

    // Waits up to `wait` for output or the shell's exit, and takes what output there is.
    void waitForActivity(milliseconds wait)
    {
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

    void release()
    {
        if (!shellExited)
            ::waitpid(pid, &status, 0);
        shellExited = true;
        if (exitFd >= 0)
            ::close(exitFd);
        exitFd = -1;
        output.close();
        error.close();
        CommandGroups::remove(pid);
        removeTemporaryFolder(temporaryFolder);
    }

    static void removeTemporaryFolder(const QByteArray& folder)
    {
        if (!folder.isEmpty())
            FileTree::remove(AT_FDCWD, folder.constData(), FilePath::fromNative(folder), true);
    }
};

// Looks after what an answered command left: drains its pipes, holds its group to the time
// limit (SIGTERM, then SIGKILL after the grace period) and reaps its shell, on a thread of its
// own, until nothing of it is left.
void watchLeftBehind(CommandWatch watch)
{
    watch.output.discarding = true;
    watch.error.discarding = true;
    std::thread([watch = std::move(watch)]() mutable {
        for (;;) {
            watch.reap();
            const auto now = SteadyClock::now();
            if (watch.phase == CommandWatch::Phase::Running && now >= watch.deadline)
                watch.terminate(now);
            watch.escalate(now);
            if (watch.shellExited && !watch.streamsOpen() && !CommandGroups::hasMembers(watch.pid))
                break;
            if (watch.phase == CommandWatch::Phase::Killed && now >= watch.giveUpAt)
                break;
            watch.waitForActivity(watch.timeUntilDue(now, kStopPollInterval));
        }
        watch.release();
    }).detach();
}

std::optional<QString> workingDirectoryProblem(const QString& directory)
{
    const QByteArray path = QFile::encodeName(directory);
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        return qt_error_string(errno);
    if (!S_ISDIR(info.st_mode))
        return qt_error_string(ENOTDIR);
    if (::access(path.constData(), X_OK) != 0)
        return qt_error_string(errno);
    return std::nullopt;
}

// A confined command's surroundings: its private temporary folder, the environment naming it,
// and the kernel's rules.
struct ConfinedStart {
    QByteArray temporaryFolder;
    std::vector<QByteArray> environmentText;
    std::vector<char*> environment;
    std::unique_ptr<CommandSandbox> sandbox;

    std::optional<QString> prepare(const EffectiveFolders& folders)
    {
        QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/zarnel-command-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return qt_error_string(errno);
        temporaryFolder = pattern;
        auto prepared = CommandSandbox::prepare(folders, temporaryFolder);
        if (auto* reason = std::get_if<QString>(&prepared))
            return *reason;
        sandbox = std::move(std::get<std::unique_ptr<CommandSandbox>>(prepared));
        for (char** each = environ; *each; ++each) {
            if (std::strncmp(*each, "TMPDIR=", 7) != 0)
                environmentText.emplace_back(*each);
        }
        environmentText.push_back("TMPDIR=" + temporaryFolder);
        for (QByteArray& each : environmentText)
            environment.push_back(each.data());
        environment.push_back(nullptr);
        return std::nullopt;
    }
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

ShellOutcome PosixShellRunner::run(const ShellCommand& command, const StopCheck& stopRequested) const
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
        outcome.startError = qt_error_string(errno);
        return outcome;
    }
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        outcome.startError = qt_error_string(errno);
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
    ConfinedStart confined;
    if (command.confinement) {
        if (const auto problem = confined.prepare(*command.confinement)) {
            ::close(outputPipe[0]);
            ::close(outputPipe[1]);
            ::close(errorPipe[0]);
            ::close(errorPipe[1]);
            CommandWatch::removeTemporaryFolder(confined.temporaryFolder);
            outcome.startError = QStringLiteral("Commands cannot be confined on this system (%1)").arg(*problem);
            return outcome;
        }
        const CommandSandbox::Start start{shell.constData(), argv,         confined.environment.data(),
                                          outputPipe[1],     errorPipe[1], command.workingDirectory ? directory.constData() : nullptr};
        spawnError = confined.sandbox->spawn(start, &pid);
    } else {
        spawnError = startShell(
            {shell.constData(), argv, command.workingDirectory ? directory.constData() : nullptr, outputPipe[1], errorPipe[1], ::getpid()},
            pid);
    }
    ::close(outputPipe[1]);
    ::close(errorPipe[1]);
    if (spawnError != 0) {
        ::close(outputPipe[0]);
        ::close(errorPipe[0]);
        CommandWatch::removeTemporaryFolder(confined.temporaryFolder);
        outcome.startError = qt_error_string(spawnError);
        return outcome;
    }
    outcome.started = true;
    CommandGroups::add(pid);

    CommandWatch watch;
    watch.pid = pid;
    watch.output.fd = outputPipe[0];
    watch.error.fd = errorPipe[0];
    ::fcntl(watch.output.fd, F_SETFL, O_NONBLOCK);
    ::fcntl(watch.error.fd, F_SETFL, O_NONBLOCK);
    watch.exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    watch.temporaryFolder = confined.temporaryFolder;
    watch.grace = m_gracePeriod;
    if (command.timeLimit < std::chrono::hours(24 * 365))
        watch.deadline = SteadyClock::now() + command.timeLimit;
    std::optional<SteadyClock::time_point> settledAt;

    for (;;) {
        watch.reap();
        const auto now = SteadyClock::now();
        if (watch.shellExited && !settledAt)
            settledAt = now + kSettleAfterExit;
        if (watch.phase == CommandWatch::Phase::Running && stopRequested(watch.output.received() + watch.error.received())) {
            // Whoever asked no longer waits for the answer: the group is ended in the background.
            watch.terminate(now);
            break;
        }
        if (watch.phase == CommandWatch::Phase::Running && now >= watch.deadline) {
            outcome.timedOut = true;
            watch.terminate(now);
        }
        watch.escalate(now);
        // Done when the shell has exited and its output has been collected (all of it, or what
        // came within a moment of the exit); after a time-out, also when nothing of its group
        // is left or the group has been killed.
        if (watch.shellExited && (!watch.streamsOpen() || now >= *settledAt)
            && (watch.phase != CommandWatch::Phase::Terminating || !CommandGroups::hasMembers(pid)))
            break;

        milliseconds wait = watch.timeUntilDue(now, kStopPollInterval);
        if (settledAt)
            wait = std::min(wait, std::chrono::ceil<milliseconds>(std::max(*settledAt - now, SteadyClock::duration::zero())));
        if (watch.shellExited && !watch.streamsOpen())
            wait = std::min(wait, kExitPollInterval);
        watch.waitForActivity(wait);
    }

    outcome.exitCode = watch.shellExited ? statusToExitCode(watch.status) : 128 + SIGTERM;
    outcome.standardOutput = std::exchange(watch.output.bytes, {});
    outcome.standardError = std::exchange(watch.error.bytes, {});
    outcome.standardOutputOmitted = watch.output.omitted;
    outcome.standardErrorOmitted = watch.error.omitted;
    if (watch.shellExited && !watch.streamsOpen() && !CommandGroups::hasMembers(pid))
        watch.release();
    else
        watchLeftBehind(std::move(watch));
    return outcome;
}

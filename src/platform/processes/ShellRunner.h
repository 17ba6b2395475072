#pragma once

#include "platform/files/FolderConfinement.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// One command for the user's shell.
struct ShellCommand {
    QString command;
    // Relative to our own current directory; none means our own.
    std::optional<QString> workingDirectory;
    std::chrono::seconds timeLimit{30};
    // Where the command may write, read and connect; nothing leaves it unconfined.
    std::optional<EffectiveFolders> confinement;
};

// What running a command produced.
struct ShellOutcome {
    // False when the shell could not be started; startError then says why.
    bool started = false;
    QString startError;
    // The shell's exit status, or 128 + the signal number when a signal ended it.
    int exitCode = 0;
    // At most kMaxCapturedBytes of each stream; the rest is counted, not kept.
    QByteArray standardOutput;
    QByteArray standardError;
    qint64 standardOutputOmitted = 0;
    qint64 standardErrorOmitted = 0;
    // Whether the time limit ran out (the command's process group was then stopped).
    bool timedOut = false;
};

// Runs shell commands for the execute_command tool.
class ShellRunner {
public:
    static constexpr qint64 kMaxCapturedBytes = 8 * 1024 * 1024;

    virtual ~ShellRunner() = default;

    // Blocks until the command's shell has exited and its output has been collected: call it
    // from a worker thread. What the command left running in the background keeps its time limit
    // but does not hold up the answer. `stopRequested` is asked from time to time while the
    // command runs, with the bytes the command has written to both streams so far; once it
    // answers true, run returns at once (with the exit code of SIGTERM) and the command is
    // stopped in the background as if its time limit had run out.
    using StopCheck = std::function<bool(qint64 outputBytes)>;
    virtual ShellOutcome run(const ShellCommand& command, const StopCheck& stopRequested) const = 0;
};

#pragma once

#include "platform/processes/ShellRunner.h"

#include <chrono>

// Runs a command as `<shell> -c <command>` with the user's shell (/bin/zsh, else /bin/bash,
// else /bin/sh) in a process group of its own, with the null device as standard input and
// both output streams drained while it runs. At the time limit the whole group gets SIGTERM,
// and SIGKILL if any of it is still there after the grace period. Every group is listed in
// CommandGroups until nothing of it is left.
class PosixShellRunner final : public ShellRunner {
public:
    explicit PosixShellRunner(std::chrono::milliseconds gracePeriod = std::chrono::seconds(2));

    ShellOutcome run(const ShellCommand& command, const StopCheck& stopRequested) const override;

    // The first of the candidate shells that can be executed.
    static QString shellPath();

private:
    std::chrono::milliseconds m_gracePeriod;
};

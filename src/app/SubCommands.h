#pragma once

#include "app/CommandLine.h"

// The sub-commands: a short-lived client of the running zarnel processes (through their
// control sockets) and of this process's own tool registry.
namespace SubCommands {

// Exit statuses.
inline constexpr int kSuccess = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsageError = 2;
inline constexpr int kNoProcess = 3;

int run(int argc, char** argv, const CommandLine::Invocation& invocation);

} // namespace SubCommands

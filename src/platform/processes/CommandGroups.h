#pragma once

#include <chrono>
#include <sys/types.h>

// The process groups of the shell commands this process started that may still have members:
// commands running now, and what finished commands left running in the background. Whatever
// ends the program ends these first, so that nothing it started outlives it unasked.
// Thread-safe; the set lives as long as the process.
namespace CommandGroups {

void add(pid_t group);
void remove(pid_t group);

// Sends SIGTERM to every group, and SIGKILL to those with members left after `grace`.
// Returns once every group is gone or has been killed.
void endAll(std::chrono::milliseconds grace = std::chrono::seconds(2));

// Whether any process is still in the group.
bool hasMembers(pid_t group);

} // namespace CommandGroups

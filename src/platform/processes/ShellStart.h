#pragma once

#include <sys/types.h>

// What the shell's process is given; all of it prepared before the fork, since the child may
// only make async-signal-safe calls.
struct ShellStart {
    const char* shell;
    char* const* argv;
    const char* directory; // or null for ours
    int output;
    int error;
    pid_t parent;
};

// Starts the shell with fork and exec, in a process group of its own, with /dev/null as its
// input and the parent-death signal set; 0, or the error that kept it from starting (the exec's
// included).
int startShell(const ShellStart& start, pid_t& pid);

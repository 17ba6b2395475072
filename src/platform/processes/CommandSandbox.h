#pragma once

#include "platform/files/FolderConfinement.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include <linux/filter.h>
#include <sys/types.h>

// The kernel's sandbox for one confined command: Landlock rules for the file system (and TCP
// where the kernel has network rules) and a seccomp filter that takes away IP sockets. Everything
// is prepared in the parent; the child only switches it on between fork and exec.
class CommandSandbox {
public:
    // Why commands cannot be confined here as `folders` ask, or nothing when they can.
    static std::optional<QString> unavailableReason(const EffectiveFolders& folders);
    // The same as shown on the status lines: "off", "kernel" or "unavailable: <reason>".
    static QString statusText(const EffectiveFolders& folders);

    // The rules for `folders`, with `temporaryFolder` writable; the reason when the kernel cannot
    // enforce them.
    static std::variant<std::unique_ptr<CommandSandbox>, QString> prepare(const EffectiveFolders& folders,
                                                                          const QByteArray& temporaryFolder);
    ~CommandSandbox();
    CommandSandbox(const CommandSandbox&) = delete;
    CommandSandbox& operator=(const CommandSandbox&) = delete;

    // Starts `argv` confined, in a process group of its own, with the null device as standard
    // input and `output` and `error` as the other two streams. The error number when it could not
    // be started (the sandbox failing to switch on included).
    struct Start {
        const char* program;
        char* const* argv;
        char* const* environment;
        int output;
        int error;
        const char* directory; // or null
    };
    int spawn(const Start& start, pid_t* pid) const;

private:
    CommandSandbox() = default;
    // Async-signal-safe: only system calls.
    int switchOn() const;

    int m_ruleset = -1;
    std::vector<sock_filter> m_filter;
};

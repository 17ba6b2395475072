#include "platform/processes/CommandSandbox.h"

#include "platform/files/FileDescriptor.h"

#include <QDir>
#include <QFile>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Debian 12's kernel headers stop at the second version of Landlock; the later rights keep their
// numbers in every version.
constexpr __u64 kTruncate = 1ULL << 14;
constexpr __u64 kAccessNetBindTcp = 1ULL << 0;
constexpr __u64 kAccessNetConnectTcp = 1ULL << 1;
// Truncation was not under Landlock's control before its third version: a file that may only be
// read could still be emptied.
constexpr int kMinimumAbi = 3;
constexpr int kNetworkAbi = 4;

struct RulesetAttributes {
    __u64 handledAccessFs;
    __u64 handledAccessNet;
};

constexpr __u64 kReadAccess = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr __u64 kFileAccess = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_READ_FILE | kTruncate;

const char* const kSystemFolders[] = {"/usr", "/bin",  "/sbin", "/lib", "/lib32", "/lib64",   "/libx32",   "/etc",
                                      "/opt", "/proc", "/sys",  "/dev", "/run",   "/var/lib", "/var/cache"};
const char* const kWritableDevices[] = {"/dev/null", "/dev/zero", "/dev/tty", "/dev/pts"};

int landlockAbi()
{
    return static_cast<int>(::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION));
}

#if defined(__x86_64__)
constexpr __u32 kNativeArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr __u32 kNativeArchitecture = AUDIT_ARCH_AARCH64;
#endif

class RulesetBuilder {
public:
    RulesetBuilder(int ruleset, __u64 handled)
        : m_ruleset(ruleset)
        , m_handled(handled)
    {
    }

    // A folder, or a file (which takes only the rights of files).
    void allow(const QByteArray& path, __u64 access)
    {
        FileDescriptor fd(::open(path.constData(), O_PATH | O_CLOEXEC));
        if (!fd.valid())
            return;
        struct stat info;
        if (::fstat(fd.get(), &info) != 0)
            return;
        if (!S_ISDIR(info.st_mode))
            access &= kFileAccess;
        access &= m_handled;
        if (access == 0)
            return;
        landlock_path_beneath_attr rule{};
        rule.allowed_access = access;
        rule.parent_fd = fd.get();
        ::syscall(SYS_landlock_add_rule, m_ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
    }

    // At most `access` beneath `path`.
    struct Limit {
        QByteArray path;
        __u64 access;
    };

    // `access` beneath `folder`, but no more than the limits allow beneath theirs. Landlock only
    // adds rights, and a rule covers all beneath its folder: a folder on the way to a limited
    // path gets what the limit leaves (listing it at least), and its entries are granted one by one.
    void allowLimited(const QByteArray& folder, __u64 access, const QList<Limit>& limits)
    {
        QList<Limit> within;
        for (const Limit& limit : limits) {
            if (FolderConfinement::isInside(folder, limit.path))
                access &= limit.access;
            else if (FolderConfinement::isInside(limit.path, folder))
                within.append(limit);
        }
        if (within.isEmpty()) {
            allow(folder, access);
            return;
        }
        __u64 common = access;
        for (const Limit& limit : within)
            common &= limit.access | LANDLOCK_ACCESS_FS_READ_DIR;
        allow(folder, common);
        FileDescriptor fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.valid())
            return;
        DirectoryStream stream = openDirectoryStream(fd);
        if (!stream)
            return;
        while (const dirent* entry = ::readdir(stream.get())) {
            if (FileDescriptor::isDotOrDotDot(entry->d_name) || entry->d_type == DT_LNK)
                continue;
            const QByteArray child = (folder == "/" ? QByteArray() : folder) + '/' + entry->d_name;
            allowLimited(child, access, within);
        }
    }

private:
    int m_ruleset;
    __u64 m_handled;
};

// Refuses IP sockets (TCP and UDP alike) and io_uring, through which sockets could be made without
// the socket call; local sockets stay. A program of another architecture could reach the socket
// call by another number, so calls of other architectures are refused too.
std::vector<sock_filter> networkFilter()
{
    const __u32 refuse = SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA);
    return
    {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kNativeArchitecture, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, refuse), BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#if defined(__x86_64__)
            BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1), // the x32 calls
            BPF_STMT(BPF_RET | BPF_K, refuse),
#endif
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_io_uring_setup, 0, 1), BPF_STMT(BPF_RET | BPF_K, refuse),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_socket, 1, 0), BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET6, 1, 0), BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, refuse),
    };
}

struct ChildSetup {
    const CommandSandbox::Start* start;
    const CommandSandbox* sandbox;
    int (CommandSandbox::*switchOn)() const;
    int failure = 0;
};

// The child runs on a stack the sanitizers know nothing of, in memory it shares with us: none of
// their bookkeeping may run here.
#define ZARNEL_CHILD_CODE __attribute__((no_sanitize("address", "undefined")))

// The steps between clone and exec; an error number when one failed.
ZARNEL_CHILD_CODE int prepareChild(const ChildSetup& setup)
{
    const CommandSandbox::Start& start = *setup.start;
    // Ended with us even when we are killed with SIGKILL, rather than running on with nobody left
    // to stop it at its time limit.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return errno;
    // The parent's handlers must not run here: the child shares its memory until exec.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &byDefault, nullptr);
    if (::setpgid(0, 0) != 0)
        return errno;
    const int input = ::open("/dev/null", O_RDONLY);
    if (input < 0 || ::dup2(input, STDIN_FILENO) < 0 || ::dup2(start.output, STDOUT_FILENO) < 0 || ::dup2(start.error, STDERR_FILENO) < 0)
        return errno;
    if (input > STDERR_FILENO)
        ::close(input);
    if (start.directory && ::chdir(start.directory) != 0)
        return errno;
    if (const int error = (setup.sandbox->*setup.switchOn)(); error != 0)
        return error;
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(start.program, start.argv, start.environment);
    return errno;
}

ZARNEL_CHILD_CODE int runChild(void* argument)
{
    auto* setup = static_cast<ChildSetup*>(argument);
    setup->failure = prepareChild(*setup);
    ::_exit(127);
}

} // namespace

std::optional<QString> CommandSandbox::unavailableReason(const EffectiveFolders& folders)
{
    if (!folders.confinesCommands())
        return std::nullopt;
#if !defined(__x86_64__) && !defined(__aarch64__)
    if (!folders.commandNetwork)
        return QStringLiteral("no network filter for this processor");
#endif
    if (!folders.allowed)
        return std::nullopt;
    const int abi = landlockAbi();
    if (abi < 0)
        return QStringLiteral("Landlock is not available: %1").arg(qt_error_string(errno));
    if (abi < kMinimumAbi)
        return QStringLiteral("Landlock version %1 cannot stop truncation; version %2 is needed").arg(abi).arg(kMinimumAbi);
    return std::nullopt;
}

QString CommandSandbox::statusText(const EffectiveFolders& folders)
{
    if (!folders.confinesCommands())
        return QStringLiteral("off");
    if (const auto reason = unavailableReason(folders))
        return QStringLiteral("unavailable: ") + *reason;
    return QStringLiteral("kernel");
}

std::variant<std::unique_ptr<CommandSandbox>, QString> CommandSandbox::prepare(const EffectiveFolders& folders,
                                                                               const QByteArray& temporaryFolder)
{
    if (const auto reason = unavailableReason(folders))
        return *reason;
    std::unique_ptr<CommandSandbox> sandbox(new CommandSandbox);
    if (!folders.commandNetwork)
        sandbox->m_filter = networkFilter();
    if (!folders.allowed)
        return sandbox;

    const int abi = landlockAbi();
    // Every right this version knows but the device controls (ioctl), which confine no file.
    __u64 handled = (LANDLOCK_ACCESS_FS_REFER << 1) - 1;
    if (abi >= kMinimumAbi)
        handled |= kTruncate;
    RulesetAttributes attributes{handled, 0};
    std::size_t size = sizeof attributes.handledAccessFs;
    if (!folders.commandNetwork && abi >= kNetworkAbi) {
        attributes.handledAccessNet = kAccessNetBindTcp | kAccessNetConnectTcp;
        size = sizeof attributes;
    }
    sandbox->m_ruleset = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (sandbox->m_ruleset < 0)
        return QStringLiteral("Landlock refused the rules: %1").arg(qt_error_string(errno));

    RulesetBuilder rules(sandbox->m_ruleset, handled);
    // Nothing reads the secrets; the read-only folders and Zarnel's own are never written.
    QList<RulesetBuilder::Limit> unread;
    for (const QByteArray& secret : folders.secret)
        unread.append({secret, 0});
    QList<RulesetBuilder::Limit> unwritten = unread;
    for (const QByteArray& folder : folders.readOnly + folders.own)
        unwritten.append({folder, kReadAccess});
    for (const char* folder : kSystemFolders)
        rules.allowLimited(folder, kReadAccess, unread);
    for (const QByteArray& folder : folders.readOnly)
        rules.allowLimited(folder, kReadAccess, unread);
    for (const QByteArray& folder : *folders.allowed)
        rules.allowLimited(folder, handled, unwritten);
    for (const char* device : kWritableDevices)
        rules.allow(device, kReadAccess | LANDLOCK_ACCESS_FS_WRITE_FILE | kTruncate);
    if (!temporaryFolder.isEmpty())
        rules.allow(temporaryFolder, handled);
    return sandbox;
}

CommandSandbox::~CommandSandbox()
{
    if (m_ruleset >= 0)
        ::close(m_ruleset);
}

ZARNEL_CHILD_CODE int CommandSandbox::switchOn() const
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return errno;
    if (!m_filter.empty()) {
        sock_fprog program{static_cast<unsigned short>(m_filter.size()), const_cast<sock_filter*>(m_filter.data())};
        if (::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            return errno;
    }
    if (m_ruleset >= 0 && ::syscall(SYS_landlock_restrict_self, m_ruleset, 0) != 0)
        return errno;
    return 0;
}

int CommandSandbox::spawn(const Start& start, pid_t* pid) const
{
    // Like posix_spawn: the child borrows our memory until it has called exec, with every signal
    // blocked so that none of our handlers runs in it.
    constexpr std::size_t kStackSize = 64 * 1024;
    std::vector<char> stack(kStackSize);
    ChildSetup setup{&start, this, &CommandSandbox::switchOn};
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t child = ::clone(runChild, stack.data() + stack.size(), CLONE_VM | CLONE_VFORK | SIGCHLD, &setup);
    const int cloneError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (child < 0)
        return cloneError;
    if (setup.failure != 0) {
        ::waitpid(child, nullptr, 0);
        return setup.failure;
    }
    *pid = child;
    return 0;
}

#include "support/TestApplications.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TestApplications::TestApplications()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const char* folder : {"data/applications", "none", "bin", "records"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
}

namespace {

// The processes of these groups, leaders included.
std::vector<qint32> membersOf(const std::vector<qint32>& groups)
{
    std::vector<qint32> members;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray content = stat.readAll();
        const QList<QByteArray> fields = content.mid(content.lastIndexOf(')') + 2).split(' ');
        if (std::find(groups.begin(), groups.end(), fields.value(2).toInt()) != groups.end())
            members.push_back(entry.toInt());
    }
    return members;
}

// The processes running a program of this folder: launched ones whose start left no record of
// their own (the same program launched twice writes one record).
std::vector<qint32> runningFrom(const QString& folder)
{
    std::vector<qint32> running;
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (command.open(QIODevice::ReadOnly) && command.read(4096).startsWith(prefix))
            running.push_back(entry.toInt());
    }
    return running;
}

} // namespace

TestApplications::~TestApplications()
{
    // Each started or launched program leads a process group (a session for launched ones),
    // so its helpers end with it; orphaned helpers are ours to reap.
    for (const qint32 pid : runningFrom(binDirectory())) {
        ::kill(pid, SIGKILL);
        if (pid > 0 && std::find(m_groups.begin(), m_groups.end(), pid) == m_groups.end())
            m_groups.push_back(pid);
    }
    const std::vector<qint32> members = membersOf(m_groups);
    for (const qint32 group : m_groups)
        ::kill(-group, SIGKILL);
    for (const qint32 group : m_groups)
        waitUntilEnded(group);
    for (const qint32 member : members)
        waitUntilEnded(member);
}

LinuxWorkspace::Configuration TestApplications::workspaceConfiguration() const
{
    LinuxWorkspace::Configuration configuration;
    configuration.applicationDirectories = {applicationsDirectory(), emptyDataDirectory() + QStringLiteral("/applications")};
    configuration.locale = QStringLiteral("C");
    configuration.launchSettleTime = std::chrono::milliseconds(20);
    return configuration;
}

QString TestApplications::installProgram(const QString& program)
{
    const QString path = binDirectory() + u'/' + program;
    if (!QFile::exists(path))
        QFile::copy(QStringLiteral(STAND_IN_APPLICATION), path);
    return path;
}

void TestApplications::addApplication(const QString& id, const QString& name, const QString& program, const QString& options,
                                      const QString& extraLines)
{
    const QString path = installProgram(program);
    writeEntry(id,
               QStringLiteral("Type=Application\nName=%1\nExec=\"%2\" %3 %4 %U\n%5")
                   .arg(name, path, m_dir.path() + QStringLiteral("/records"), options, extraLines));
}

void TestApplications::writeEntry(const QString& id, const QString& lines)
{
    QFile file(applicationsDirectory() + u'/' + id + QStringLiteral(".desktop"));
    file.open(QIODevice::WriteOnly);
    file.write("[Desktop Entry]\n" + lines.toUtf8() + "\n");
}

qint32 TestApplications::start(const QStringList& command)
{
    std::vector<QByteArray> encoded;
    for (const QString& argument : command)
        encoded.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return 0;
    m_groups.push_back(pid);
    return pid;
}

qint32 TestApplications::startProgram(const QString& program, const QStringList& options)
{
    start(QStringList{installProgram(program), m_dir.path() + QStringLiteral("/records")} + options);
    const auto record = waitForRecord(program);
    return record ? record->pid : 0;
}

std::optional<TestApplications::Record> TestApplications::waitForRecord(const QString& program, int timeoutMs)
{
    QFile file(m_dir.path() + QStringLiteral("/records/") + program + QStringLiteral(".record"));
    QDeadlineTimer deadline(timeoutMs);
    while (!file.exists()) {
        if (deadline.hasExpired())
            return std::nullopt;
        QThread::msleep(10);
    }
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
    Record record;
    record.pid = content.left(content.indexOf('\n')).toInt();
    // Each argument ends with a NUL.
    QList<QByteArray> arguments = content.mid(content.indexOf('\n') + 1).split('\0');
    for (const QByteArray& argument : arguments.first(arguments.size() - 1))
        record.arguments << QString::fromUtf8(argument);
    if (std::find(m_groups.begin(), m_groups.end(), record.pid) == m_groups.end())
        m_groups.push_back(record.pid);
    return record;
}

bool TestApplications::isRunning(qint32 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray content = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    return content.contains(')') && content.mid(content.lastIndexOf(')') + 2, 1) != "Z";
}

bool TestApplications::waitUntilEnded(qint32 pid, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const pid_t reaped = ::waitpid(pid, nullptr, WNOHANG);
        if (reaped == pid || (reaped < 0 && errno == ECHILD && !isRunning(pid)))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char* name, const QByteArray& value)
    : m_name(name)
{
    if (qEnvironmentVariableIsSet(name))
        m_previous = qgetenv(name);
    qputenv(name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
{
    if (m_previous)
        qputenv(m_name, *m_previous);
    else
        qunsetenv(m_name);
}

#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QSettings>
#include <QThread>

#include <csignal>

namespace {

bool isAlive(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

void endProcess(qint64 pid)
{
    if (!isAlive(pid))
        return;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    const QDeadlineTimer deadline(5000);
    // Events go on meanwhile: the process may still talk to a server this test runs.
    while (isAlive(pid) && !deadline.hasExpired()) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    if (isAlive(pid))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

} // namespace

TemporaryHome::TemporaryHome()
{
    for (const char* folder : {"config", "data", "cache", "state", "runtime"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(m_dir.path() + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TemporaryHome::~TemporaryHome()
{
    endProcesses();
}

QList<qint64> TemporaryHome::runningProcesses() const
{
    QList<qint64> pids;
    for (const QString& name : QDir(controlFolder()).entryList({QStringLiteral("*.sock")}, QDir::System)) {
        const qint64 pid = name.section(QLatin1Char('.'), 0, 0).toLongLong();
        if (isAlive(pid))
            pids.append(pid);
    }
    return pids;
}

std::optional<qint64> TemporaryHome::desktopInstancePid() const
{
    QFile lock(controlFolder() + QStringLiteral("/desktop.lock"));
    if (!lock.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 pid = lock.readLine().trimmed().toLongLong();
    return isAlive(pid) ? std::optional<qint64>(pid) : std::nullopt;
}

void TemporaryHome::endProcesses() const
{
    QList<qint64> left = runningProcesses();
    if (const auto desktop = desktopInstancePid(); desktop && !left.contains(*desktop))
        left.append(*desktop);
    for (qint64 pid : left)
        endProcess(pid);
}

void TemporaryHome::writePreferences(const QMap<QString, QVariant>& values) const
{
    QSettings settings(preferencesPath(), QSettings::IniFormat);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

QProcessEnvironment TemporaryHome::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), path() + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), path() + QStringLiteral("/state"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path() + QStringLiteral("/runtime"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Without these the program could find the desktop session of whoever runs the tests.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    return env;
}

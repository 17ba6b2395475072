// What the desktop instance costs in memory: the resident size of `zarnel` started as the
// user's desktop instance (window and tray item shown) once its start-up has settled, beside a
// bare QApplication showing one empty window, each on an X server and a D-Bus session of the
// benchmark's own.

#include "StdioBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <iostream>

using namespace bench;

namespace {

constexpr int kRuns = 5;
constexpr int kSettleMs = 2000;

long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// A long-lived helper (Xvfb, dbus-daemon) whose first output line is what we need from it.
struct Helper {
    QProcess process;
    QString firstLine;
    bool start(const QString& program, const QStringList& arguments)
    {
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForStarted(10000))
            return false;
        while (!process.canReadLine() && process.waitForReadyRead(20000)) {}
        firstLine = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !firstLine.isEmpty();
    }
    ~Helper()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
};

double sample(const QString& program, const QProcessEnvironment& environment, const QString& readyFile)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(program, {});
    if (!child.waitForStarted(10000))
        return -1;
    // Ready: the baseline says so; zarnel's control socket appears once it is up.
    for (int waited = 0; waited < 20000; waited += 50) {
        if (readyFile.isEmpty() ? child.canReadLine() || child.waitForReadyRead(50) : QFile::exists(readyFile))
            break;
        QThread::msleep(50);
    }
    QThread::msleep(kSettleMs);
    const long kib = residentKiB(child.processId());
    child.terminate();
    if (!child.waitForFinished(5000))
        child.kill();
    child.waitForFinished(5000);
    return static_cast<double>(kib);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Helper xvfb;
    Helper bus;
    if (!xvfb.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                     QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24")})
        || !bus.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")})) {
        note("cannot start Xvfb or dbus-daemon (install them with scripts/setup)");
        return 1;
    }
    ZarnelHome home;
    QProcessEnvironment environment = home.environment();
    environment.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + xvfb.firstLine);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.firstLine);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);

    std::vector<double> ours;
    std::vector<double> theirs;
    for (int i = 0; i < kRuns; ++i) {
        ours.push_back(sample(QString::fromStdString(zarnelPath()), environment, runtime + QStringLiteral("/zarnel/desktop.lock")));
        theirs.push_back(sample(QStringLiteral(BARE_WINDOW_BINARY), environment, {}));
    }
    report("desktop instance resident size after start-up, median", median(ours), "bare QApplication window", median(theirs), "KiB");
    return 0;
}

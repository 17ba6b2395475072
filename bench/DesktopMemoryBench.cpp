// What the desktop instance costs: the time from its start until its window is mapped, and the
// resident size of `zarnel` started as the user's desktop instance once its start-up has
// settled, beside a bare QApplication showing one empty window, each on an X server and a D-Bus
// session of the benchmark's own. Both run on the same X platform and environment; neither has
// a tray to go in (the benchmark runs no tray host), so zarnel shows its dashboard window (Status
// page) as the bare program shows its window. Each is measured two seconds after its window is
// mapped and it said it is ready, as VmRSS (shared library pages included, for both alike).

#include "StdioBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>

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

struct Sample {
    double residentKiB = -1;
    double mappedMs = -1;
};

// Watches the X server for the first top-level window a client maps (no window manager runs,
// so a top-level window is a child of the root window). One connection for the whole run: it
// also keeps the bare X server from resetting between samples, when no other client is left.
class MapWatch {
public:
    explicit MapWatch(const QString& display)
        : m_connection(xcb_connect(display.toLocal8Bit().constData(), nullptr), xcb_disconnect)
    {
        if (xcb_connection_has_error(m_connection.get()))
            return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection.get(), screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection.get());
    }

    // Forgets what earlier samples' windows did.
    void drain()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection.get()))
            std::free(event);
    }

    // Milliseconds from `start` until a window is mapped; -1 when none is within 20 s.
    double waitForMappedWindow(std::chrono::steady_clock::time_point start)
    {
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(m_connection.get()), std::free);
            if (!event) {
                QThread::usleep(500);
                continue;
            }
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY
                && reinterpret_cast<const xcb_map_notify_event_t*>(event.get())->override_redirect == 0)
                return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        return -1;
    }

private:
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_connection;
};

Sample sample(const QString& program, const QProcessEnvironment& environment, const QString& readyFile, MapWatch& watch)
{
    watch.drain();
    Sample result;
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    const auto start = std::chrono::steady_clock::now();
    child.start(program, {});
    if (!child.waitForStarted(10000))
        return result;
    result.mappedMs = watch.waitForMappedWindow(start);
    // Ready: the baseline says so; zarnel's control socket appears once it is up.
    for (int waited = 0; waited < 20000; waited += 50) {
        if (readyFile.isEmpty() ? child.canReadLine() || child.waitForReadyRead(50) : QFile::exists(readyFile))
            break;
        QThread::msleep(50);
    }
    QThread::msleep(kSettleMs);
    result.residentKiB = static_cast<double>(residentKiB(child.processId()));
    child.terminate();
    if (!child.waitForFinished(5000))
        child.kill();
    child.waitForFinished(5000);
    return result;
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

    MapWatch watch(environment.value(QStringLiteral("DISPLAY")));
    std::vector<double> ours;
    std::vector<double> theirs;
    std::vector<double> oursMapped;
    std::vector<double> theirsMapped;
    for (int i = 0; i < kRuns; ++i) {
        const Sample zarnel =
            sample(QString::fromStdString(zarnelPath()), environment, runtime + QStringLiteral("/zarnel/desktop.lock"), watch);
        const Sample bare = sample(QStringLiteral(BARE_WINDOW_BINARY), environment, {}, watch);
        note("run " + std::to_string(i + 1) + ": zarnel " + std::to_string(zarnel.mappedMs) + " ms, " + std::to_string(zarnel.residentKiB)
             + " KiB; bare window " + std::to_string(bare.mappedMs) + " ms, " + std::to_string(bare.residentKiB) + " KiB");
        ours.push_back(zarnel.residentKiB);
        theirs.push_back(bare.residentKiB);
        oursMapped.push_back(zarnel.mappedMs);
        theirsMapped.push_back(bare.mappedMs);
    }
    report("desktop instance start to mapped window, median", median(oursMapped), "bare QApplication window", median(theirsMapped), "ms");
    report("desktop instance resident size after start-up, median", median(ours), "bare QApplication window", median(theirs), "KiB");
    return 0;
}

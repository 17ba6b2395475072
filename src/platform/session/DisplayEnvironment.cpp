#include "platform/session/DisplayEnvironment.h"

#include "platform/files/FileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <netdb.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace DisplayEnvironment {

namespace {

constexpr int kX11TcpPortBase = 6000;

bool connectsToLocalSocket(const QByteArray& path, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const qsizetype offset = abstract ? 1 : 0;
    if (path.isEmpty() || path.size() + offset >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path + offset, path.constData(), static_cast<size_t>(path.size()));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return socket.valid() && ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

bool connectsToTcp(const QByteArray& host, int port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return false;
    bool connected = false;
    for (addrinfo* each = found; each && !connected; each = each->ai_next) {
        const FileDescriptor socket(::socket(each->ai_family, each->ai_socktype | SOCK_CLOEXEC, each->ai_protocol));
        connected = socket.valid() && ::connect(socket.get(), each->ai_addr, each->ai_addrlen) == 0;
    }
    ::freeaddrinfo(found);
    return connected;
}

// The host and number of a display name "[protocol/]host:number[.screen]", read by hand: every
// start reads it, and a regular expression would keep its library and compiled pattern resident
// for the rest of the run.
std::optional<std::pair<QString, int>> displayAddress(const QString& display)
{
    const qsizetype colon = display.indexOf(QLatin1Char(':'));
    if (colon < 0 || display.indexOf(QLatin1Char(':'), colon + 1) >= 0)
        return std::nullopt;
    const QString host = display.left(colon).mid(display.left(colon).lastIndexOf(QLatin1Char('/')) + 1);
    const QStringList numbers = display.mid(colon + 1).split(QLatin1Char('.'));
    const auto digits = [](const QString& text) {
        return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (numbers.size() > 2 || !std::all_of(numbers.begin(), numbers.end(), digits))
        return std::nullopt;
    bool ok = false;
    const int number = numbers.first().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return std::pair{host, number};
}

// Where libxcb would connect for `display`: the abstract socket first, then the one in
// /tmp/.X11-unix, or TCP for a host name.
bool x11ServerListens(const QString& display)
{
    const auto address = displayAddress(display);
    if (!address)
        return false;
    const auto& [host, number] = *address;
    if (host.isEmpty() || host == QLatin1String("unix")) {
        const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
        return connectsToLocalSocket(path, true) || connectsToLocalSocket(path, false);
    }
    return connectsToTcp(host.toLocal8Bit(), kX11TcpPortBase + number);
}

bool waylandCompositorListens(const QString& wayland)
{
    // A name is looked up in the runtime folder, a path taken as it is.
    const QString path = QDir::isAbsolutePath(wayland) ? wayland : qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + wayland;
    return !wayland.isEmpty() && connectsToLocalSocket(QFile::encodeName(path), false);
}

} // namespace

bool hasDisplaySession()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool qtPlatformDrawsNowhere()
{
    // "name:options", or a list of them of which Qt takes the first that loads.
    const QByteArray first = qgetenv("QT_QPA_PLATFORM").split(';').value(0);
    const QByteArray name = first.split(':').value(0).trimmed();
    return name == "offscreen" || name == "minimal";
}

bool canOpenX11Display(const QString& display, const QString&)
{
    return !display.isEmpty() && x11ServerListens(display);
}

DisplayProbe::DisplayProbe()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    if (!display.isEmpty()) {
        // A server resetting after its last client left refuses connections for a moment.
        for (int attempt = 0; attempt < 4 && !m_open; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            m_open = x11ServerListens(display);
        }
        if (m_open)
            return;
    }
    m_open = waylandCompositorListens(qEnvironmentVariable("WAYLAND_DISPLAY"));
}

} // namespace DisplayEnvironment

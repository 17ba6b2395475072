#include "platform/session/SessionEnvironment.h"

#include "platform/SessionBusLibrary.h"
#include "platform/session/DisplayEnvironment.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kRuntimeDir = QStringLiteral("XDG_RUNTIME_DIR");
const QString kBusAddress = QStringLiteral("DBUS_SESSION_BUS_ADDRESS");
const QString kDisplay = QStringLiteral("DISPLAY");
const QString kWaylandDisplay = QStringLiteral("WAYLAND_DISPLAY");
const QString kXAuthority = QStringLiteral("XAUTHORITY");

// The file itself, never what a link at its place points to.
bool isOwned(const QString& path, uid_t user, mode_t type, struct stat* info = nullptr)
{
    struct stat own;
    struct stat& status = info ? *info : own;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && (status.st_mode & S_IFMT) == type && status.st_uid == user;
}

} // namespace

SessionEnvironment::SessionEnvironment(QString runtimeRoot, uid_t user, std::chrono::milliseconds busTimeout)
    : m_runtimeRoot(std::move(runtimeRoot))
    , m_user(user)
    , m_busTimeout(busTimeout)
{
}

uid_t SessionEnvironment::currentUser()
{
    return ::getuid();
}

QList<SessionEnvironment::Variable> SessionEnvironment::discover(const QProcessEnvironment& environment) const
{
    QList<Variable> found;
    const auto given = [&](const QString& name) { return environment.value(name); };
    const bool hasDisplay = !given(kDisplay).isEmpty() || !given(kWaylandDisplay).isEmpty();
    if (hasDisplay && !given(kXAuthority).isEmpty() && !given(kBusAddress).isEmpty() && !given(kRuntimeDir).isEmpty())
        return found;

    // The runtime folder: systemd-logind makes it for each user with a session, private to them.
    QString runtimeDir = given(kRuntimeDir);
    if (runtimeDir.isEmpty()) {
        const QString candidate = m_runtimeRoot + u'/' + QString::number(m_user);
        struct stat info;
        if (isOwned(candidate, m_user, S_IFDIR, &info) && (info.st_mode & 07777) == 0700) {
            runtimeDir = candidate;
            found.append({kRuntimeDir, candidate, QStringLiteral("this user's runtime folder")});
        }
    }

    QString busAddress = given(kBusAddress);
    if (busAddress.isEmpty() && !runtimeDir.isEmpty()) {
        const QString socket = runtimeDir + QStringLiteral("/bus");
        if (isOwned(socket, m_user, S_IFSOCK)) {
            busAddress = QStringLiteral("unix:path=") + socket;
            found.append({kBusAddress, busAddress, QStringLiteral("the session bus socket in the runtime folder")});
        }
    }

    if ((hasDisplay && !given(kXAuthority).isEmpty()) || busAddress.isEmpty())
        return found;
    const QHash<QString, QString> session = SessionBusLibrary::userManagerEnvironment(busAddress, m_busTimeout);
    const QString fromManager = QStringLiteral("the systemd user manager");
    QString display = given(kDisplay);
    const QString managerDisplay = session.value(kDisplay);
    const QString managerAuthority = session.value(kXAuthority);
    const bool authorityIsOurs = !managerAuthority.isEmpty() && isOwned(managerAuthority, m_user, S_IFREG);
    if (!hasDisplay) {
        const QString wayland = session.value(kWaylandDisplay);
        // A relative name is a socket in the runtime folder.
        const bool absolute = wayland.startsWith(u'/');
        if (!wayland.isEmpty() && (absolute || !runtimeDir.isEmpty())
            && isOwned(absolute ? wayland : runtimeDir + u'/' + wayland, m_user, S_IFSOCK))
            found.append({kWaylandDisplay, wayland, fromManager});
        const QString key = given(kXAuthority).isEmpty() && authorityIsOurs ? managerAuthority : given(kXAuthority);
        if (DisplayEnvironment::canOpenX11Display(managerDisplay, key)) {
            display = managerDisplay;
            found.append({kDisplay, display, fromManager});
        }
    }
    // The key to a display is taken only for the display it opens.
    if (given(kXAuthority).isEmpty() && authorityIsOurs && !display.isEmpty() && display == managerDisplay)
        found.append({kXAuthority, managerAuthority, fromManager});
    return found;
}

QList<SessionEnvironment::Variable> SessionEnvironment::adoptIntoProcess() const
{
    const QList<Variable> found = discover(QProcessEnvironment::systemEnvironment());
    for (const Variable& variable : found)
        qputenv(variable.name.toLocal8Bit().constData(), QFile::encodeName(variable.value));
    return found;
}

QString SessionEnvironment::describe(const QList<Variable>& found)
{
    if (found.isEmpty())
        return {};
    QStringList parts;
    for (const Variable& variable : found)
        parts.append(QStringLiteral("%1=%2 (from %3)").arg(variable.name, variable.value, variable.source));
    return QStringLiteral("zarnel: found this user's desktop session: ") + parts.join(QStringLiteral(", "));
}

#include "platform/desktop/LinuxTrayHostWatcher.h"

#include "platform/display/Xcb.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// Asked at start-up, before the window shows: a watcher that does not answer must not hold it up.
constexpr int kWatcherTimeoutMs = 1000;

QDBusMessage hostRegisteredQuery()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

// The watcher alone holds no items on screen: a host (the panel) must have registered with it.
bool saysHostRegistered(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

bool x11TrayPresent(const QString& display)
{
    if (display.isEmpty())
        return false;
    int screen = 0;
    const Xcb::Connection connection(xcb_connect(display.toLocal8Bit().constData(), &screen));
    if (xcb_connection_has_error(connection.get()))
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    const xcb_atom_t selection = Xcb::existingAtom(connection.get(), name.constData());
    if (selection == XCB_ATOM_NONE)
        return false;
    const Xcb::Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection.get(), xcb_get_selection_owner(connection.get(), selection), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

} // namespace

LinuxTrayHostWatcher::LinuxTrayHostWatcher(QDBusConnection bus, QString x11Display, QObject* parent)
    : TrayHostWatcher(parent)
    , m_bus(std::move(bus))
    , m_watcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForRegistration)
{
    // Watching starts before the first look, so a host coming in between is not missed.
    if (m_bus.isConnected()) {
        connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &LinuxTrayHostWatcher::lookAgain);
        // A panel may register its host with a watcher that was there before it.
        m_bus.connect(kWatcherService, kWatcherPath, kWatcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                      SLOT(lookAgain()));
        m_present = saysHostRegistered(m_bus.call(hostRegisteredQuery(), QDBus::Block, kWatcherTimeoutMs));
    }
    if (!m_present)
        m_present = x11TrayPresent(x11Display);
}

LinuxTrayHostWatcher::LinuxTrayHostWatcher()
    : LinuxTrayHostWatcher(QDBusConnection::sessionBus(), qEnvironmentVariable("DISPLAY"))
{
}

void LinuxTrayHostWatcher::lookAgain()
{
    if (m_present)
        return;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(hostRegisteredQuery(), kWatcherTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (m_present || !saysHostRegistered(call->reply()))
            return;
        m_present = true;
        Q_EMIT appeared();
    });
}

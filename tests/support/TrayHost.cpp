// A stand-in for a panel's tray: the StatusNotifierWatcher service that Qt's tray icon looks for
// on the session bus. It records the items that register and prints "ready" once it is on the
// bus, so a test can start programs that see a tray host under Xvfb.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QTextStream>

namespace {

const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");

class Watcher : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(QObject* owner)
        : QDBusAbstractAdaptor(owner)
        , m_watcher(QString(), QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForUnregistration)
    {
        connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& service) {
            for (const QString& item : m_items) {
                if (item.startsWith(service + QLatin1Char('/')) || item == service) {
                    m_items.removeAll(item);
                    Q_EMIT StatusNotifierItemUnregistered(item);
                }
            }
        });
    }

    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        // Items name either their bus name or, on a shared connection, an object path.
        const QString item = serviceOrPath.startsWith(QLatin1Char('/')) ? message.service() + serviceOrPath
                                                                        : serviceOrPath + QStringLiteral("/StatusNotifierItem");
        const QString service = item.section(QLatin1Char('/'), 0, 0);
        if (!m_items.contains(item)) {
            m_items.append(item);
            m_watcher.addWatchedService(service);
            Q_EMIT StatusNotifierItemRegistered(item);
        }
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
    QDBusServiceWatcher m_watcher;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QObject root;
    new Watcher(&root);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &root) || !bus.registerService(kService)) {
        QTextStream(stderr) << "cannot register " << kService << ": " << bus.lastError().message() << "\n";
        return 1;
    }
    QTextStream(stdout) << "ready\n";
    return app.exec();
}

#include "TrayHost.moc"

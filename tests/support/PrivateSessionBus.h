#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus session bus of the test's own, with no services to activate. Fails the test loudly when
// dbus-daemon cannot be started.
class PrivateSessionBus {
public:
    // Listens in a folder of its own, or at `socketPath` when one is given.
    explicit PrivateSessionBus(const QString& socketPath = QString());
    ~PrivateSessionBus();

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // A new connection to the bus under the given connection name.
    QDBusConnection connect(const QString& name) const;

private:
    QTemporaryDir m_directory;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

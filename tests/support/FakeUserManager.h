#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QThread>

// Stands in for the systemd user manager on a test's bus: publishes the Environment property of
// org.freedesktop.systemd1.Manager. It answers from a thread of its own, so a caller blocked on
// the bus (a zarnel starting up, a discovery run on the test's thread) gets its answer.
class FakeUserManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")
    Q_PROPERTY(QStringList Environment READ environment)

public:
    // `busAddress` is the bus to serve on; `environment` holds "NAME=value" texts.
    FakeUserManager(const QString& busAddress, QStringList environment);
    ~FakeUserManager() override;

    bool isServing() const { return m_serving; }
    QStringList environment() const { return m_environment; }

private:
    QThread m_thread;
    QString m_connectionName;
    QStringList m_environment;
    bool m_serving = false;
};

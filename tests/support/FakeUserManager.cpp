#include "support/FakeUserManager.h"

FakeUserManager::FakeUserManager(const QString& busAddress, QStringList environment)
    : m_connectionName(QStringLiteral("fake-user-manager-%1").arg(reinterpret_cast<quintptr>(this)))
    , m_environment(std::move(environment))
{
    m_thread.start();
    moveToThread(&m_thread);
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    m_serving = bus.isConnected() && bus.registerService(QStringLiteral("org.freedesktop.systemd1"))
        && bus.registerObject(QStringLiteral("/org/freedesktop/systemd1"), this, QDBusConnection::ExportAllProperties);
}

FakeUserManager::~FakeUserManager()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_thread.quit();
    m_thread.wait();
}

#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QFile>

PrivateSessionBus::PrivateSessionBus(const QString& socketPath)
{
    const QString listen =
        socketPath.isEmpty() ? QStringLiteral("unix:dir=") + m_directory.path() : QStringLiteral("unix:path=") + socketPath;
    const QString config = m_directory.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("<busconfig><type>session</type><listen>%1</listen>"
                              "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                   .arg(listen)
                   .toUtf8());
    file.close();
    m_daemon.setStandardInputFile(QProcess::nullDevice());
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start dbus-daemon (install dbus with scripts/setup): " << m_daemon.errorString().toStdString();
        return;
    }
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {}
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        ADD_FAILURE() << "dbus-daemon printed no address: " << m_daemon.readAllStandardError().toStdString();
}

PrivateSessionBus::~PrivateSessionBus()
{
    for (const QString& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateSessionBus::connect(const QString& name) const
{
    const_cast<QStringList&>(m_connections).append(name);
    return QDBusConnection::connectToBus(m_address, name);
}

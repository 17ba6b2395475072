#include "support/XvfbServer.h"

#include <gtest/gtest.h>

XvfbServer::XvfbServer(int width, int height, int depth)
{
    m_server.setStandardInputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(QProcess::nullDevice());
    // -displayfd picks a free display number and writes it to standard output once it listens.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("%1x%2x%3").arg(width).arg(height).arg(depth), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                    QStringLiteral("-ac")});
    if (!m_server.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start Xvfb (install xvfb with scripts/setup): " << m_server.errorString().toStdString();
        return;
    }
    while (!m_server.canReadLine() && m_server.waitForReadyRead(20000)) {}
    const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
    if (number.isEmpty()) {
        ADD_FAILURE() << "Xvfb did not report its display number";
        return;
    }
    m_display = QLatin1Char(':') + number;
}

XvfbServer::~XvfbServer()
{
    m_server.terminate();
    if (!m_server.waitForFinished(5000))
        m_server.kill();
    m_server.waitForFinished(5000);
}

#include "support/TrayHostProcess.h"

#include <gtest/gtest.h>

TrayHostProcess::TrayHostProcess(const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral(TRAY_HOST), {});
    if (!m_process.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start the tray host: " << m_process.errorString().toStdString();
        return;
    }
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {}
    if (m_process.readLine().trimmed() != "ready")
        ADD_FAILURE() << "the tray host did not come up: " << m_process.readAllStandardError().toStdString();
}

TrayHostProcess::~TrayHostProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

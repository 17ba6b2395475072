#pragma once

#include <QProcess>
#include <QProcessEnvironment>

// A tray host for the programs a test starts: the stand-in StatusNotifierWatcher, on the session
// bus of `environment` (a private one). Fails the test loudly when it cannot start.
class TrayHostProcess {
public:
    explicit TrayHostProcess(const QProcessEnvironment& environment);
    ~TrayHostProcess();

    bool isRunning() const { return m_process.state() == QProcess::Running; }

private:
    QProcess m_process;
};

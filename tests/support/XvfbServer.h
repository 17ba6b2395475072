#pragma once

#include <QProcess>
#include <QString>

// An X server of the test's own on a free display number, with one screen of the given size and
// colour depth. Fails the test loudly when Xvfb cannot be started.
class XvfbServer {
public:
    explicit XvfbServer(int width = 640, int height = 480, int depth = 24);
    ~XvfbServer();

    bool isRunning() const { return !m_display.isEmpty(); }
    // The value for DISPLAY, for example ":42".
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

#pragma once

#include "control/ControlProtocol.h"

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QQueue>

class ControlServer;
class QLocalSocket;

// One client of the control socket: reads request lines, answers them one at a time in order,
// and forwards events once subscribed. Deletes itself when the client goes or misbehaves.
class ControlConnection : public QObject {
    Q_OBJECT
public:
    ControlConnection(QLocalSocket* socket, ControlServer& server);

    bool isSubscribed() const { return m_subscribed; }
    void subscribe() { m_subscribed = true; }

    // Queues a line for the client; drops the client when it has stopped reading.
    void send(const QByteArray& line);

private:
    void readAvailable();
    QCoro::Task<> processQueue();
    void close();

    QLocalSocket* m_socket;
    QPointer<ControlServer> m_server;
    QByteArray m_buffer;
    QQueue<QByteArray> m_lines;
    bool m_processing = false;
    bool m_subscribed = false;
    bool m_closing = false;
};

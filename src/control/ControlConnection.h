#pragma once

#include "control/ControlProtocol.h"

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QQueue>

class ControlServer;
class UnixSocket;

// One client of the control socket: reads request lines, answers them one at a time in order,
// and forwards events once subscribed. Deletes itself when the client goes or misbehaves.
class ControlConnection : public QObject {
    Q_OBJECT
public:
    // `peerProcess`: the id of the process at the other end (0 when unknown).
    ControlConnection(UnixSocket* socket, ControlServer& server, qint64 peerProcess = 0);

    qint64 peerProcess() const { return m_peerProcess; }
    // Closes the connection at once, whatever it was doing.
    void drop();

    bool isSubscribed() const { return m_subscribed; }
    void subscribe() { m_subscribed = true; }

    // Queues a line for the client; drops the client when it has stopped reading.
    void send(const QByteArray& line);

private:
    void readAvailable();
    QCoro::Task<> processQueue();
    void close();

    UnixSocket* m_socket;
    QPointer<ControlServer> m_server;
    QByteArray m_buffer;
    QQueue<QByteArray> m_lines;
    bool m_processing = false;
    bool m_subscribed = false;
    bool m_closing = false;
    qint64 m_peerProcess;
};

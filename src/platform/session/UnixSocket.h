#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

class QSocketNotifier;
struct sockaddr_un;

// One connected stream over a local (Unix domain) socket, driven by the event loop: what is
// written and cannot go at once waits in a buffer, arrivals are signalled, and the other end's
// going is seen. The control socket's two ends need no more than this.
class UnixSocket : public QObject {
    Q_OBJECT
public:
    explicit UnixSocket(QObject* parent = nullptr);
    // Takes over a connected descriptor (made non-blocking here).
    UnixSocket(int connectedDescriptor, QObject* parent);
    ~UnixSocket() override;

    // Connects to the socket at `path`, waiting at most `timeout` for a listener whose queue of
    // pending connections is full. False, with errorString(), when nothing listens there.
    bool connectTo(const QString& path, std::chrono::milliseconds timeout);
    bool isConnected() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    QString errorString() const { return m_error; }

    // Sends what it can at once and keeps the rest for when the other end reads.
    void write(const QByteArray& bytes);
    qint64 bytesToWrite() const { return m_pending.size(); }
    QByteArray readAll();
    bool canReadLine() const { return m_received.contains('\n'); }
    // One line with its newline, or an empty array when no whole line has arrived.
    QByteArray readLine();

    // Blocking waits for callers outside an event loop: false when the time ran out or the
    // connection ended first.
    bool waitForReadyRead(std::chrono::milliseconds timeout);
    bool waitForBytesWritten(std::chrono::milliseconds timeout);

    // The address of the socket file at `path`; false when the path does not fit in one.
    static bool addressOf(const QByteArray& path, sockaddr_un& address);

    // Closes once what is written has gone (at once when nothing waits).
    void disconnectFromServer();
    // Closes at once, dropping what waits to be written.
    void abort();

Q_SIGNALS:
    void readyRead();
    // Emitted once, when the connection ends for whatever reason.
    void disconnected();

private:
    void adopt(int fd);
    void receiveAvailable();
    void sendPending();
    // Reads what the kernel holds; false when the other end is gone.
    bool receive();
    void closeDescriptor();

    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_received;
    QByteArray m_pending;
    bool m_closeWhenWritten = false;
    QString m_error;
};

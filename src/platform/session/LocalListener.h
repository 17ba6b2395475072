#pragma once

#include <QObject>
#include <QString>

class UnixSocket;
class QSocketNotifier;

// A listening local (Unix domain) socket that keeps listening whatever happens to one
// connection. QLocalServer gives up, and removes its socket file, when one accept fails; here a
// connection that cannot be taken for want of descriptors is taken with a descriptor held in
// reserve for that, and closed at once.
class LocalListener : public QObject {
    Q_OBJECT
public:
    explicit LocalListener(QObject* parent = nullptr);
    // Stops listening and removes the socket file.
    ~LocalListener() override;

    // Listens at `path`, replacing a socket left there; the socket file is the user's alone
    // (mode 0600). False with errorString() when it cannot.
    bool listen(const QString& path);
    bool isListening() const { return m_fd >= 0; }
    QString errorString() const { return m_error; }
    void close();

Q_SIGNALS:
    // A client connected. The socket is a child of the listener until the receiver takes it.
    void connectionAccepted(UnixSocket* socket);
    // A client was turned away: the process had no descriptor left for it.
    void connectionTurnedAway();

private:
    void acceptPending();
    bool turnAwayWithReserve();
    void pause();

    int m_fd = -1;
    int m_reserve = -1;
    QString m_path;
    quint64 m_inode = 0;
    QSocketNotifier* m_notifier = nullptr;
    QString m_error;
};

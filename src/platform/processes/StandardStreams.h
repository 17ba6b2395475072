#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The process's standard input and output as the protocol transport sees them. Reading never
// blocks the event loop: bytes arrive through bytesReceived as they become available, and the
// end of input through inputEnded (once).
class StandardStreams : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~StandardStreams() override = default;

    virtual bool inputIsTerminal() const = 0;

    // Starts or stops watching standard input. Stopping takes effect at once.
    virtual void startReading() = 0;
    virtual void stopReading() = 0;

    // Writes all of the bytes to standard output. On failure returns false and describes why.
    virtual bool writeAll(const char* data, qsizetype size, QString* error) = 0;

    // Whether the reader of standard output has closed its end, so that nothing written can
    // reach anyone any more.
    virtual bool outputClosed() const = 0;

Q_SIGNALS:
    void bytesReceived(const QByteArray& bytes);
    void inputEnded();
};

#pragma once

#include "platform/processes/StandardStreams.h"

class QSocketNotifier;

// Standard input and output over POSIX descriptors (0 and 1 by default).
class PosixStandardStreams final : public StandardStreams {
    Q_OBJECT
public:
    explicit PosixStandardStreams(int inputFd = 0, int outputFd = 1, QObject* parent = nullptr);
    ~PosixStandardStreams() override;

    bool inputIsTerminal() const override;
    void startReading() override;
    void stopReading() override;
    bool writeAll(const char* data, qsizetype size, QString* error) override;
    bool outputClosed() const override;

    // A closed reader must not kill us with SIGPIPE, nor a file-size limit (ulimit -f) with
    // SIGXFSZ: the write then fails with EPIPE or EFBIG and is reported like any other failure.
    static void ignoreWriteFailureSignals();

private:
    void readAvailableInput();

    int m_inputFd;
    int m_outputFd;
    bool m_ended = false;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_buffer;
};

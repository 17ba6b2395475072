#pragma once

#include "platform/processes/StandardStreams.h"

#include <QByteArrayList>

// Standard streams in memory: the test feeds input and reads what was written.
class FakeStandardStreams final : public StandardStreams {
    Q_OBJECT
public:
    using StandardStreams::StandardStreams;

    bool terminal = false;
    bool reading = false;
    bool outputBroken = false;
    QByteArray written;

    bool inputIsTerminal() const override { return terminal; }
    void startReading() override { reading = true; }
    void stopReading() override { reading = false; }
    bool writeAll(const char* data, qsizetype size, QString* error) override
    {
        if (outputBroken) {
            if (error)
                *error = QStringLiteral("Broken pipe");
            return false;
        }
        written.append(data, size);
        return true;
    }

    bool outputClosed() const override { return outputBroken; }

    void feed(const QByteArray& bytes) { Q_EMIT bytesReceived(bytes); }
    void endInput() { Q_EMIT inputEnded(); }

    // The written lines, without their line feeds; clears what was written.
    QByteArrayList takeLines()
    {
        QByteArrayList lines = written.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        written.clear();
        return lines;
    }
};

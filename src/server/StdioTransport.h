#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <string>
#include <string_view>

class StandardStreams;

// Frames standard input into lines and writes response lines. A line ends at a line-feed byte;
// because a UTF-8 sequence never contains that byte, a character split across two reads simply
// waits in the buffer with the rest of its line. Lines of only spaces and tabs are skipped.
class StdioTransport : public QObject {
    Q_OBJECT
public:
    explicit StdioTransport(StandardStreams& streams, QObject* parent = nullptr);

    bool inputIsTerminal() const;

    // Starts reading with an empty buffer; stop() ends reading at once.
    void start();
    void stop();
    bool isReading() const { return m_reading; }
    // Leaves what has not been read yet where it is (the writer then waits), keeping what was
    // read; resume() reads on.
    void pause();
    void resume();
    bool isPaused() const { return m_paused; }

    // Writes one line in full, appending the line feed to `line` itself (a response can be
    // tens of megabytes; it is not copied). Returns false and describes the failure when the
    // output is gone.
    bool sendLine(std::string& line, QString* error);
    // Writes the beginning of a line that a later sendLine ends: a large response goes out as
    // it is written. Nothing else may be written in between.
    bool sendPart(std::string_view bytes, QString* error);

    // Whether a line holds nothing but spaces and tabs (Unicode space separators included).
    static bool isBlank(const QByteArray& line);

    // The longest line kept. A longer one is dropped as it arrives (memory stays bounded
    // whatever a client sends) and reported as an empty line once its line feed comes.
    static constexpr qsizetype kMaxLineBytes = 128 * 1024 * 1024;
    void setMaxLineBytes(qsizetype bytes) { m_maxLineBytes = bytes; }
    qsizetype maxLineBytes() const { return m_maxLineBytes; }

Q_SIGNALS:
    // A complete line, without its line feed. An empty line stands for one too long to keep.
    void lineReceived(const QByteArray& line);
    // Standard input reached its end; text after the last line feed came as a last line first.
    void inputEnded();
    // Input has ended and the reader of standard output has closed it: the client is gone, and
    // nothing more will reach it. Emitted once, at the end of input or later.
    void clientGone();

private:
    void appendInput(const QByteArray& bytes);
    void finishInput();
    void checkClientGone();

    StandardStreams& m_streams;
    QByteArray m_buffer;
    bool m_reading = false;
    bool m_paused = false;
    bool m_discarding = false; // inside a line that is too long
    qsizetype m_maxLineBytes = kMaxLineBytes;
    // After the end of input, looks from time to time whether the output has been closed too.
    QTimer* m_outputWatch = nullptr;
};

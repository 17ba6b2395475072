#include "server/StdioTransport.h"

#include "platform/processes/StandardStreams.h"

#include <QString>

namespace {

// How often the output is looked at once input has ended; a client that closes both streams
// is noticed at once, one that closes its output later within this time.
constexpr std::chrono::milliseconds kOutputWatchInterval{250};

} // namespace

StdioTransport::StdioTransport(StandardStreams& streams, QObject* parent)
    : QObject(parent)
    , m_streams(streams)
    , m_outputWatch(new QTimer(this))
{
    connect(&m_streams, &StandardStreams::bytesReceived, this, &StdioTransport::appendInput);
    connect(&m_streams, &StandardStreams::inputEnded, this, &StdioTransport::finishInput);
    m_outputWatch->setInterval(kOutputWatchInterval);
    connect(m_outputWatch, &QTimer::timeout, this, &StdioTransport::checkClientGone);
}

bool StdioTransport::inputIsTerminal() const
{
    return m_streams.inputIsTerminal();
}

void StdioTransport::start()
{
    m_buffer.clear();
    m_discarding = false;
    m_outputWatch->stop();
    m_reading = true;
    m_paused = false;
    m_streams.startReading();
}

void StdioTransport::pause()
{
    if (!m_reading || m_paused)
        return;
    m_paused = true;
    m_streams.stopReading();
}

void StdioTransport::resume()
{
    if (!m_reading || !m_paused)
        return;
    m_paused = false;
    m_streams.startReading();
}

void StdioTransport::stop()
{
    m_outputWatch->stop();
    m_reading = false;
    m_paused = false;
    m_streams.stopReading();
    m_buffer.clear();
}

bool StdioTransport::isBlank(const QByteArray& line)
{
    bool asciiOnly = true;
    for (const char c : line) {
        if (c == ' ' || c == '\t')
            continue;
        if (static_cast<unsigned char>(c) < 0x80)
            return false;
        asciiOnly = false;
    }
    if (asciiOnly)
        return true;
    for (const QChar c : QString::fromUtf8(line)) {
        if (c != u'\t' && c.category() != QChar::Separator_Space)
            return false;
    }
    return true;
}

void StdioTransport::appendInput(const QByteArray& bytes)
{
    if (!m_reading)
        return;
    // Only the new bytes can hold a line feed we have not seen.
    qsizetype searchFrom = m_buffer.size();
    m_buffer.append(bytes);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', searchFrom);
        if (end < 0)
            break;
        searchFrom = end + 1;
        const bool tooLong = m_discarding || end - start > m_maxLineBytes;
        const QByteArray line = tooLong ? QByteArray() : m_buffer.mid(start, end - start);
        m_discarding = false;
        start = end + 1;
        if (tooLong || !isBlank(line))
            Q_EMIT lineReceived(line);
        if (!m_reading)
            return; // a receiver stopped us
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > m_maxLineBytes) {
        m_buffer.clear();
        m_discarding = true;
    }
}

void StdioTransport::finishInput()
{
    if (!m_reading)
        return;
    // A client may end its last message with the end of input instead of a line feed.
    const QByteArray last = std::exchange(m_buffer, QByteArray());
    const bool tooLong = std::exchange(m_discarding, false);
    if (tooLong || !isBlank(last)) {
        Q_EMIT lineReceived(last);
        if (!m_reading)
            return; // a receiver stopped us
    }
    m_reading = false;
    Q_EMIT inputEnded();
    m_outputWatch->start();
    checkClientGone();
}

void StdioTransport::checkClientGone()
{
    if (!m_outputWatch->isActive() || !m_streams.outputClosed())
        return;
    m_outputWatch->stop();
    Q_EMIT clientGone();
}

bool StdioTransport::sendLine(std::string& line, QString* error)
{
    line += '\n';
    return m_streams.writeAll(line.data(), static_cast<qsizetype>(line.size()), error);
}

bool StdioTransport::sendPart(std::string_view bytes, QString* error)
{
    return m_streams.writeAll(bytes.data(), static_cast<qsizetype>(bytes.size()), error);
}

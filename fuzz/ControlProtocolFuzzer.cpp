// Raw bytes from a control-socket client through the connection's framing, the request decoder
// and every command to the answers the process writes back. The first byte chooses how the rest
// is cut into writes. A status request with a known id follows the input. The control token is a
// fixed one (kToken, also in the dictionary), so that requests can get past its check.
//
// Every run checks that each line written back is one protocol object our own strict reader
// accepts, that no more answers come than lines were sent, that the closing status request is
// answered unless the input had an overlong line (which closes the connection), and that
// nothing reaches the MCP client's standard output.
#include "control/ControlProtocol.h"
#include "control/ControlServer.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/processes/Clock.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "protocol/JsonParser.h"
#include "server/MCPServer.h"
#include "support/FakeStandardStreams.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::array<qsizetype, 5> kWriteSizes = {1, 3, 64, 4096, 1 << 30};
constexpr std::int64_t kClosingId = 987654321;
constexpr const char* kToken = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

[[noreturn]] void fail(const char* what, const QByteArray& line = {})
{
    std::fprintf(stderr, "control protocol: %s\n%s\n", what, line.left(2000).constData());
    std::abort();
}

struct Process {
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    SystemClock clock;
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlServer control{components, ControlFolder(dir.filePath(QStringLiteral("control")))};
};

Process* process = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    process = new Process;
    ControlFolder folder(process->dir.filePath(QStringLiteral("control")));
    QFile token(folder.tokenPath());
    if (!folder.prepare() || !token.open(QIODevice::WriteOnly) || token.write(kToken) < 0 || !token.flush())
        fail("cannot write the control token");
    if (!process->control.listen())
        fail("cannot listen", process->control.problem().toUtf8());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype writeSize = kWriteSizes[data[0] % kWriteSizes.size()];
    const QByteArray input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QByteArray closing = ControlProtocol::encodeRequest(ControlProtocol::Request{kClosingId, "status", Json::object(), kToken});
    // The closing request must start a line of its own.
    if (!input.isEmpty() && !input.endsWith('\n'))
        closing.prepend('\n');
    const QByteArray sent = input + closing;
    bool overlong = false;
    qsizetype lines = 0;
    for (const QByteArray& line : sent.split('\n')) {
        overlong = overlong || line.size() > ControlProtocol::kMaxLineBytes;
        ++lines;
    }

    QLocalSocket socket;
    socket.connectToServer(process->control.socketPath());
    if (!socket.waitForConnected(5000))
        fail("cannot connect");
    for (qsizetype at = 0; at < sent.size(); at += writeSize)
        socket.write(sent.mid(at, writeSize));

    QByteArray received;
    bool closed = false;
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        received += socket.readAll();
        if (received.contains("\"id\":" + QByteArray::number(kClosingId)))
            break;
        if (socket.state() == QLocalSocket::UnconnectedState) {
            closed = true;
            break;
        }
    }
    received += socket.readAll();
    const bool answered = received.contains("\"id\":" + QByteArray::number(kClosingId));
    if (!answered && !(overlong && closed))
        fail("the closing request was not answered", input);

    qsizetype answers = 0;
    for (const QByteArray& line : received.split('\n')) {
        if (line.isEmpty())
            continue;
        const auto value = JsonParser::parse(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        if (!value || !value->is_object() || value->value("v", Json()) != ControlProtocol::kProtocolVersion)
            fail("written line is not a protocol object", line);
        if (value->contains("id"))
            ++answers;
    }
    if (answers > lines)
        fail("more answers than lines", received);
    if (!process->streams.written.isEmpty())
        fail("the control socket wrote to the client's output", process->streams.written);
    socket.abort();
    // Back to a stopped server with an empty log for the next input.
    process->components.server().stop();
    QCoreApplication::processEvents();
    return 0;
}

// Raw client bytes through the framing, decoding and dispatch to the lines the server writes.
// The first byte chooses how the rest is cut into reads, so that lines and UTF-8 sequences
// arrive split at every kind of boundary, and which session the input speaks in: none (a
// 2024-11-05 client that never initializes), a 2025-03-26 session (batches), a 2025-11-25 session
// whose client can be asked questions (its answers arrive as responses on the input), or the
// stateless 2026-07-28 era. The registry holds only an echo tool and a tool that asks its user:
// nothing an input asks for writes files, runs commands or touches the desktop. The catalogues
// are the real ones: they only read (files named by URI or prompt argument, the system report).
//
// Every run checks that the server finishes, that each written line is one complete JSON-RPC
// message our own strict reader accepts, and that no more answers are written than lines read.

#include "catalog/PromptManager.h"
#include "catalog/ResourceManager.h"
#include "platform/SystemServices.h"
#include "platform/files/LinuxFileManager.h"
#include "platform/processes/Clock.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "protocol/JsonParser.h"
#include "server/ClientQuestions.h"
#include "server/MCPServer.h"
#include "server/StdioTransport.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "state/StatisticsManager.h"
#include "support/AskingTool.h"
#include "support/EchoTool.h"
#include "support/FakeStandardStreams.h"
#include "tools/ToolRegistry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>

namespace {

constexpr std::array<std::size_t, 6> kReadSizes = {1, 2, 7, 64, 4096, SIZE_MAX};

// What the input is preceded by, chosen by the first byte.
const std::array<QByteArray, 4> kSessions = {
    QByteArray(),
    QByteArray(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-03-26","capabilities":{},"clientInfo":{"name":"f","version":"1"}}})"
        "\n"),
    QByteArray(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-11-25","capabilities":{"elicitation":{}},"clientInfo":{"name":"f","version":"1"}}})"
        "\n"
        R"({"jsonrpc":"2.0","id":"q","method":"tools/call","params":{"name":"ask_user"}})"
        "\n"),
    QByteArray(
        R"({"jsonrpc":"2.0","id":0,"method":"server/discover","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":"2026-07-28","io.modelcontextprotocol/clientCapabilities":{"elicitation":{}}}}})"
        "\n"),
};

QTemporaryDir* workDirectory = nullptr;

[[noreturn]] void fail(const char* what, const QByteArray& line = {})
{
    std::fprintf(stderr, "request path: %s\n%s\n", what, line.left(2000).constData());
    std::abort();
}

bool namesSpecialFile(const Json& value)
{
    if (value.is_string()) {
        // The process's own descriptors (/proc/self/fd/0 is what a client writes to) are what a
        // read must refuse at once: those stay in.
        std::string text = value.get<std::string>();
        for (std::size_t at = text.find("/proc/self/fd/"); at != std::string::npos; at = text.find("/proc/self/fd/"))
            text.erase(at, 14);
        for (const char* prefix : {"/dev", "/proc", "/sys", "/run"}) {
            if (text.find(prefix) != std::string::npos)
                return true;
        }
        return false;
    }
    if (value.is_structured()) {
        for (const auto& element : value) {
            if (namesSpecialFile(element))
                return true;
        }
        if (value.is_object()) {
            for (const auto& [key, member] : value.items()) {
                (void)member;
                if (namesSpecialFile(Json(key)))
                    return true;
            }
        }
    }
    return false;
}

// Resources and prompts read any file a request names. Regular files are fair game, and so are
// the pipe "fifo" in the work folder and the process's own descriptors, which must be refused
// at once; other device and kernel files would only test the machine, so inputs naming them
// are left out.
bool asksForSpecialFiles(const QByteArray& input)
{
    for (const QByteArray& line : input.split('\n')) {
        const auto parsed = JsonParser::parse(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        if (parsed && namesSpecialFile(*parsed))
            return true;
    }
    return false;
}

void checkAnswer(const Json* message, const QByteArray& line);

void checkWrittenLine(const QByteArray& line, int& answers)
{
    const auto message = JsonParser::parse(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    if (!message)
        fail("written line is not JSON", line);
    if (message->is_array()) {
        if (message->empty())
            fail("an empty batch answer", line);
        for (const Json& element : *message) {
            if (!element.is_object() || element.contains("method"))
                fail("a batch answer holds something other than answers", line);
            checkAnswer(&element, line);
        }
        ++answers;
        return;
    }
    if (!message->is_object() || message->value("jsonrpc", Json()) != "2.0")
        fail("written line is not a JSON-RPC message", line);
    // Notifications carry a method; the only requests the server writes are questions for its
    // user; answers carry a result or an error, and an id unless the line they answer had no
    // usable one. A batch is answered by an array of answers.
    if (message->contains("method")) {
        if (!(*message)["method"].is_string())
            fail("malformed notification", line);
        if (message->contains("id") && (*message)["method"] != "elicitation/create")
            fail("a request other than a question", line);
        return;
    }
    ++answers;
    checkAnswer(&*message, line);
}

void checkAnswer(const Json* message, const QByteArray& line)
{
    if (message->value("jsonrpc", Json()) != "2.0")
        fail("answer is not a JSON-RPC message", line);
    const bool result = message->contains("result");
    const bool error = message->contains("error");
    if (result == error)
        fail("an answer needs exactly one of result and error", line);
    if (error) {
        const Json& body = (*message)["error"];
        if (!body.is_object() || !body.value("code", Json()).is_number_integer() || !body.value("message", Json()).is_string())
            fail("malformed error object", line);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    // Diagnostics would cost more than the work they describe.
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    // Relative paths in requests resolve inside an empty folder of our own.
    workDirectory = new QTemporaryDir;
    QDir::setCurrent(workDirectory->path());
    // A pipe without a writer: reading it would wait for ever.
    ::mkfifo("fifo", 0600);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t readSize = kReadSizes[data[0] % kReadSizes.size()];
    const QByteArray& session = kSessions[(data[0] / kReadSizes.size()) % kSessions.size()];
    const QByteArray input = session + QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (asksForSpecialFiles(input))
        return -1;

    QSettingsPreferencesStore store(workDirectory->filePath(QStringLiteral("zarnel.conf")));
    SystemClock clock;
    FakeStandardStreams streams;
    SettingsManager settings(store);
    StatisticsManager statistics(store, clock);
    ToolRegistry tools;
    tools.registerTool(std::make_shared<EchoTool>("echo"));
    LinuxFileManager files;
    ActivityLog activityLog(settings, clock);
    ResourceManager resources(
        ResourceSources{&activityLog, &statistics, &settings, &tools, &clock, SystemServices::systemInformation(), &files});
    PromptManager prompts(SystemServices::systemInformation(), files);
    StdioTransport transport(streams);
    MCPServer server(tools, resources, prompts, settings, statistics, activityLog, transport);
    resources.attachServer(&server);
    // An unanswered question ends quickly; the answers an input writes reach it in time.
    server.clientQuestions().setTimeLimit(std::chrono::milliseconds(20));
    tools.registerTool(std::make_shared<AskingTool>(server.clientQuestions()));
    bool finished = false;
    QObject::connect(&server, &MCPServer::inputFinished, [&finished] { finished = true; });
    server.start();

    for (qsizetype at = 0; at < input.size();) {
        const qsizetype length = std::min<qsizetype>(input.size() - at, static_cast<qsizetype>(std::min<std::size_t>(readSize, INT32_MAX)));
        streams.feed(input.mid(at, length));
        at += length;
    }
    streams.endInput();
    QDeadlineTimer deadline(10000);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    if (!finished)
        fail("the server did not finish the input");

    if (!streams.written.isEmpty() && !streams.written.endsWith('\n'))
        fail("output ends inside a line", streams.written.right(200));
    int answers = 0;
    for (const QByteArray& line : streams.takeLines())
        checkWrittenLine(line, answers);
    // A last line without its newline is still read at the end of the input.
    const qsizetype lines = input.count('\n') + (input.endsWith('\n') ? 0 : 1);
    if (answers > lines)
        fail("more answers than lines");
    return 0;
}

#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <variant>

namespace {

// The sanitizer build runs a twentieth of the requests: the checks are the same (every kind of
// line, the rarest coming once in 5,000, turns up), the time is not.
#if defined(ZARNEL_SANITIZED)
constexpr int kRequests = 5000;
constexpr bool kMeasuresMemory = false; // the allocator keeps freed memory in quarantine
#else
constexpr int kRequests = 100000;
constexpr bool kMeasuresMemory = true;
#endif
constexpr int kBatch = 1000;
// The allocator settles over the first tens of thousands of mixed requests (a few megabytes,
// levelling off); what any kept per-request data would add keeps growing after that. The
// resident size is compared as the least of ten batches each: it swings by several megabytes
// between batches (large answers being written, the history's writer thread and database), and
// kept data raises the floor of those swings, not just their peaks.
constexpr int kWarmUpBatches = 30;
constexpr int kWindowBatches = 10;
static_assert(!kMeasuresMemory || kRequests / kBatch >= kWarmUpBatches + 2 * kWindowBatches);
// Keeping as little as 80 bytes of each of the 70,000 later requests would exceed this.
constexpr qint64 kAllowedGrowthKiB = 5 * 1024;

// What one line sent must produce: the answer to its id, a parse error, or nothing.
struct Answer {
    std::int64_t id;
};
// A ping's answer: in its place, or earlier when it came while another request was in progress.
struct Pong {
    std::int64_t id;
};
struct ParseError {};
struct Nothing {};
using Expectation = std::variant<Answer, Pong, ParseError, Nothing>;

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QByteArray request(std::int64_t id, const QByteArray& method, const QByteArray& params = {})
{
    QByteArray line = R"({"jsonrpc":"2.0","id":)" + QByteArray::number(id) + R"(,"method":")" + method + '"';
    if (!params.isEmpty())
        line += R"(,"params":)" + params;
    return line + '}';
}

// A deterministic mix of everything a client may send: valid calls of read-only tools, list
// and read methods, prompts, notifications, malformed and blank lines, and now and then a very
// long or very deep line, a very long URI or tool name. Every kind turns up within the warm-up.
class Traffic {
public:
    explicit Traffic(const QString& folder)
        : m_folder(folder.toUtf8())
    {
    }

    QByteArray next(std::int64_t& id, std::vector<Expectation>& expected)
    {
        const int index = m_count++;
        if (index % 2000 == 1999) {
            // A megabyte-long request, answered like any other.
            expected.push_back(Pong{id});
            return request(id++, "ping", R"({"padding":")" + QByteArray(1 << 20, 'p') + R"("})");
        }
        if (index % 5000 == 4999) {
            expected.push_back(ParseError{});
            return QByteArray(4 << 20, '{');
        }
        if (index % 700 == 699) {
            // Nesting just inside the limit is answered; past it the line is refused.
            expected.push_back(Pong{id});
            return request(id++, "ping", R"({"deep":)" + QByteArray(500, '[') + QByteArray(500, ']') + '}');
        }
        if (index % 900 == 899) {
            expected.push_back(ParseError{});
            return request(id++, "ping", QByteArray(100000, '[') + QByteArray(100000, ']'));
        }
        if (index % 1500 == 1498) {
            // Client strings of a mebibyte: a URI, and the name of a tool that does not exist.
            expected.push_back(Answer{id});
            if (index % 3000 == 2998)
                return request(id++, "resources/read", R"({"uri":"file:///)" + QByteArray(1 << 20, 'u') + R"("})");
            return request(id++, "tools/call",
                           R"({"name":")" + QByteArray(1 << 20, 'n') + QByteArray::number(index) + R"(","arguments":{}})");
        }

        const std::int64_t current = id;
        switch (m_random() % 24) {
        case 0:
        case 1: expected.push_back(Pong{id++}); return request(current, "ping");
        case 2: expected.push_back(Answer{id++}); return request(current, "tools/list");
        case 3: expected.push_back(Answer{id++}); return request(current, "resources/list");
        case 4: expected.push_back(Answer{id++}); return request(current, "prompts/list");
        case 5: expected.push_back(Answer{id++}); return request(current, "resources/read", R"({"uri":"zarnel://server-status"})");
        case 6: expected.push_back(Answer{id++}); return request(current, "resources/read", R"({"uri":"zarnel://statistics"})");
        case 7:
            expected.push_back(Answer{id++});
            return request(current, "prompts/get", R"({"name":"backup_strategy","arguments":{"data_type":"photos","frequency":"daily"}})");
        case 8: expected.push_back(Answer{id++}); return request(current, "tools/call", R"({"name":"list_running_apps","arguments":{}})");
        case 9:
            // A new name every time: none of them may be kept for good.
            expected.push_back(Answer{id++});
            return request(current, "tools/call", R"({"name":"no_such_tool_)" + QByteArray::number(index) + R"(","arguments":{"x":1}})");
        case 10:
            expected.push_back(Answer{id++});
            return request(current, "tools/call", R"({"name":"read_file","arguments":{"path":")" + m_folder + R"(/notes.txt"}})");
        case 11:
            expected.push_back(Answer{id++});
            return request(current, "resources/read", R"({"uri":"file://)" + m_folder + R"(/notes.txt"})");
        case 12: expected.push_back(Answer{id++}); return request(current, "unknown/method");
        case 13: expected.push_back(Nothing{}); return R"({"jsonrpc":"2.0","method":"notifications/initialized"})";
        case 14: expected.push_back(Nothing{}); return R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":-1}})";
        case 15:
            expected.push_back(Nothing{});
            return R"({"jsonrpc":"2.0","method":"tools/list"})"; // a request without id is a notification
        case 16:
            expected.push_back(ParseError{});
            return R"({"jsonrpc":"2.0","id":)" + QByteArray::number(current) + R"(,"method":"ping")"; // cut short
        case 17: expected.push_back(ParseError{}); return "\xff\xfe{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}";
        case 18: expected.push_back(ParseError{}); return R"({"jsonrpc":"2.0","id":[1],"method":"ping"})";
        case 19: expected.push_back(Nothing{}); return " \t ";
        case 20:
            expected.push_back(Answer{id++});
            return request(current, "tools/call", R"({"name":"list_directory","arguments":{"path":")" + m_folder + R"("}})");
        case 21:
            expected.push_back(Answer{id++});
            return request(current, "tools/call",
                           R"({"name":"search_files","arguments":{"pattern":"*.txt","directory":")" + m_folder + R"("}})");
        case 22: expected.push_back(Answer{id++}); return request(current, "tools/call", R"({"name":"get_system_info","arguments":{}})");
        default:
            expected.push_back(Answer{id++});
            return request(current, "tools/call", R"({"name":"read_file","arguments":{}})"); // a missing argument
        }
    }

private:
    QByteArray m_folder;
    std::mt19937 m_random{20240611};
    int m_count = 0;
};

// Checks one answer line against what its line asked for; describes any mismatch.
std::string mismatch(const QByteArray& line, const Expectation& expected)
{
    const auto message = nlohmann::json::parse(line.toStdString(), nullptr, false);
    if (!message.is_object())
        return "not a JSON object";
    const auto* answer = std::get_if<Answer>(&expected);
    const auto* pong = std::get_if<Pong>(&expected);
    if (answer || pong) {
        const std::int64_t id = answer ? answer->id : pong->id;
        if (message.value("id", nlohmann::json()) != id)
            return "expected the answer to id " + std::to_string(id);
        return {};
    }
    // A line without a usable id is answered without an "id" member.
    if (message.contains("id") || !message.contains("error") || message["error"].value("code", 0) != -32700)
        return "expected the parse error";
    return {};
}

TEST(Soak, AnswersEveryRequestOnceInOrderButPingsAtOnceWithFlatMemoryAndExitsCleanly)
{
    TemporaryHome home;
    QTemporaryDir files;
    QFile notes(files.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("a small file read again and again\n");
    notes.close();

    ZarnelProcess zarnel(home);
    // Diagnostics for 100,000 requests are not what this test reads.
    zarnel.process().setStandardErrorFile(QProcess::nullDevice());
    ASSERT_TRUE(zarnel.start());
    ASSERT_TRUE(zarnel.initialize());
    const qint64 pid = zarnel.process().processId();

    Traffic traffic(files.path());
    std::int64_t nextId = 100;
    std::vector<qint64> residentKiBs;
    std::string residentSeries;
    for (int batch = 0; batch * kBatch < kRequests; ++batch) {
        std::vector<Expectation> expected;
        QByteArray input;
        for (int i = 0; i < kBatch; ++i)
            input += traffic.next(nextId, expected) + '\n';
        zarnel.write(input);

        std::set<std::int64_t> pings;
        for (const Expectation& each : expected) {
            if (const auto* pong = std::get_if<Pong>(&each))
                pings.insert(pong->id);
        }
        std::set<std::int64_t> answeredEarly;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (std::holds_alternative<Nothing>(expected[i]))
                continue;
            if (const auto* pong = std::get_if<Pong>(&expected[i]); pong && answeredEarly.erase(pong->id))
                continue;
            auto line = zarnel.readLine(30000);
            // A later ping answered ahead of this line's answer.
            while (line) {
                const auto early = nlohmann::json::parse(line->toStdString(), nullptr, false);
                const auto id = early.is_object() ? early.value("id", nlohmann::json()) : nlohmann::json();
                const auto* pong = std::get_if<Pong>(&expected[i]);
                if (!id.is_number_integer() || !pings.count(id.get<std::int64_t>()) || (pong && pong->id == id.get<std::int64_t>()))
                    break;
                ASSERT_TRUE(answeredEarly.insert(id.get<std::int64_t>()).second) << "ping " << id << " answered twice";
                line = zarnel.readLine(30000);
            }
            ASSERT_TRUE(line) << "no answer for line " << i << " of batch " << batch;
            const std::string problem = mismatch(*line, expected[i]);
            ASSERT_EQ(problem, "") << "line " << i << " of batch " << batch << ": " << line->left(300).constData();
        }

        residentKiBs.push_back(residentKiB(pid));
        if (batch % 10 == 9)
            residentSeries += " " + std::to_string(residentKiBs.back());
    }
    // Nothing was written for the notifications and blank lines, and nothing is left over.
    EXPECT_TRUE(zarnel.staysSilent(200));

    const auto floorOf = [&](std::size_t first) {
        return *std::min_element(residentKiBs.begin() + static_cast<std::ptrdiff_t>(first),
                                 residentKiBs.begin() + static_cast<std::ptrdiff_t>(first + kWindowBatches));
    };
    const qint64 peakKiB = *std::max_element(residentKiBs.begin(), residentKiBs.end());
    std::printf("soak: %d lines; VmRSS peak %lld kB; every 10,000 lines:%s kB\n", kRequests, static_cast<long long>(peakKiB),
                residentSeries.c_str());
    if (kMeasuresMemory) {
        const qint64 warmedUpKiB = floorOf(kWarmUpBatches);
        const qint64 finalKiB = floorOf(residentKiBs.size() - kWindowBatches);
        std::printf("soak: least VmRSS after warm-up %lld kB, at the end %lld kB\n", static_cast<long long>(warmedUpKiB),
                    static_cast<long long>(finalKiB));
        EXPECT_LE(finalKiB - warmedUpKiB, kAllowedGrowthKiB);
    }

    zarnel.closeInput();
    ASSERT_TRUE(zarnel.waitForExit(30000));
    EXPECT_EQ(zarnel.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zarnel.process().exitCode(), 0);
    // Thousands of made-up tool names, some a mebibyte long, leave the stored statistics small.
    const qint64 settingsBytes = QFileInfo(home.preferencesPath()).size();
    std::printf("soak: settings file %lld bytes\n", static_cast<long long>(settingsBytes));
    EXPECT_GT(settingsBytes, 0);
    EXPECT_LT(settingsBytes, 1 << 20);
}

} // namespace

#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>

#include <map>
#include <memory>
#include <set>

#include <signal.h>

namespace {

nlohmann::json readFileCall(const std::string& path, int id)
{
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", "tools/call"}, {"params", {{"name", "read_file"}, {"arguments", {{"path", path}}}}}};
}

// What `zarnel history --json` prints, one object per line.
std::vector<nlohmann::json> keptCalls(const TemporaryHome& home, QStringList arguments = {})
{
    QProcess process;
    process.setProcessEnvironment(home.environment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(ZarnelProcess::binaryPath(), QStringList{QStringLiteral("history"), QStringLiteral("--json")} + arguments);
    process.waitForFinished(30000);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::vector<nlohmann::json> records;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            records.push_back(nlohmann::json::parse(line.toStdString()));
    }
    return records;
}

TEST(HistoryAcrossProcesses, ThreeProcessesCallingAtOnceLoseAndRepeatNothingAndARestartStillListsThem)
{
    constexpr int kCalls = 200;
    TemporaryHome home;
    std::vector<std::unique_ptr<ZarnelProcess>> processes;
    for (const char* name : {"alpha", "beta", "gamma"}) {
        processes.push_back(ZarnelProcess::startClient(home, name, "1.0", "2025-11-25"));
        ASSERT_TRUE(processes.back()) << name;
    }
    // Every process gets its calls in one go, so the three write their batches at the same time.
    for (std::size_t p = 0; p < processes.size(); ++p) {
        QByteArray lines;
        for (int i = 0; i < kCalls; ++i)
            lines += QByteArray::fromStdString(readFileCall("/nonexistent/p" + std::to_string(p) + "/" + std::to_string(i), 100 + i).dump())
                + '\n';
        processes[p]->write(lines);
    }
    for (auto& process : processes) {
        for (int i = 0; i < kCalls; ++i)
            ASSERT_TRUE(process->readMessage(30000)) << i;
    }
    for (auto& process : processes) {
        process->closeInput();
        ASSERT_TRUE(process->waitForExit(30000));
    }

    const std::vector<nlohmann::json> records = keptCalls(home, {QStringLiteral("--limit"), QStringLiteral("1000")});
    ASSERT_EQ(records.size(), 3u * kCalls);
    std::set<std::string> paths;
    std::map<std::string, int> perClient;
    for (const nlohmann::json& record : records) {
        paths.insert(record["arguments"]["path"].get<std::string>());
        ++perClient[record["client"].get<std::string>()];
        EXPECT_EQ(record["tool"], "read_file");
        EXPECT_EQ(record["outcome"], "error");
    }
    EXPECT_EQ(paths.size(), 3u * kCalls);
    EXPECT_EQ(perClient, (std::map<std::string, int>{{"alpha", kCalls}, {"beta", kCalls}, {"gamma", kCalls}}));

    // Filters reach the same records from a new process.
    EXPECT_EQ(
        keptCalls(home, {QStringLiteral("--client"), QStringLiteral("beta"), QStringLiteral("--limit"), QStringLiteral("1000")}).size(),
        std::size_t(kCalls));
    EXPECT_EQ(keptCalls(home, {QStringLiteral("--tool"), QStringLiteral("write_file")}).size(), 0u);
    EXPECT_EQ(keptCalls(home).size(), 50u);
}

TEST(HistoryAcrossProcesses, AProcessKilledInTheMiddleOfItsCallsLeavesEveryCallAnsweredBeforeInADatabaseThatOpens)
{
    TemporaryHome home;
    auto zarnel = ZarnelProcess::startClient(home, "doomed", "1.0", "2025-11-25");
    ASSERT_TRUE(zarnel);
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(zarnel->callTool("read_file", {{"path", "/nonexistent/early/" + std::to_string(i)}}));
    // Far longer than the writer's delay, on however busy a machine.
    QThread::msleep(3000);
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += QByteArray::fromStdString(readFileCall("/nonexistent/late/" + std::to_string(i), 1000 + i).dump()) + '\n';
    zarnel->write(lines);
    ASSERT_TRUE(zarnel->readMessage());
    ::kill(static_cast<pid_t>(zarnel->process().processId()), SIGKILL);
    ASSERT_TRUE(zarnel->waitForExit());

    std::set<std::string> early;
    for (const nlohmann::json& record : keptCalls(home, {QStringLiteral("--limit"), QStringLiteral("1000")})) {
        const std::string path = record["arguments"]["path"];
        if (path.starts_with("/nonexistent/early/"))
            early.insert(path);
    }
    EXPECT_EQ(early.size(), 50u);
}

} // namespace

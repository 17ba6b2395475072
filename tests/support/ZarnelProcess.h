#pragma once

#include "support/TemporaryHome.h"

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The text of a tool result's content item.
std::string resultText(const nlohmann::json& result, std::size_t item = 0);

// The built zarnel, started headless over pipes with its own HOME (autoStartServer=true unless
// the test writes otherwise). Ends the process when destroyed.
class ZarnelProcess {
public:
    explicit ZarnelProcess(const TemporaryHome& home, bool autoStart = true);
    ~ZarnelProcess();

    static QString binaryPath();

    // A sub-command run to its end with `home`'s environment, in its folder, with no input.
    struct CommandRun {
        int status = -1; // -1 when it crashed or did not end within 30 s
        QByteArray output;
        QByteArray error;
    };
    static CommandRun runCommand(const TemporaryHome& home, const QStringList& arguments);

    QProcess& process() { return m_process; }
    QProcessEnvironment& environment() { return m_environment; }
    void setWorkingDirectory(const QString& path) { m_process.setWorkingDirectory(path); }
    void setArguments(const QStringList& arguments) { m_arguments = arguments; }
    // Starts zarnel through another program: `launcher` is its command line, to which the
    // path of zarnel and its arguments are appended (for example a shell that sets a limit).
    void setLauncher(const QStringList& launcher) { m_launcher = launcher; }

    // Starts the program and waits until it runs.
    bool start();

    // Writes bytes as they are (no line feed added).
    void write(const QByteArray& bytes);
    // Writes one message and a line feed.
    void send(const nlohmann::json& message);
    void sendLine(const QByteArray& line);

    // The next line of standard output, without its line feed; nothing on time-out or exit.
    std::optional<QByteArray> readLine(int timeoutMs = 10000);
    // The next line parsed as JSON.
    std::optional<nlohmann::json> readMessage(int timeoutMs = 10000);

    // Sends a request with the next integer id and returns its response (skipping any
    // notification lines before it).
    std::optional<nlohmann::json> request(const std::string& method, const nlohmann::json& params = nlohmann::json(),
                                          int timeoutMs = 10000);
    // A tools/call; returns the result member.
    std::optional<nlohmann::json> callTool(const std::string& name, const nlohmann::json& arguments, int timeoutMs = 10000);
    // initialize, by default with a test client's name.
    std::optional<nlohmann::json> initialize(const std::string& clientName = "zarnel-tests", const std::string& clientVersion = "1.0",
                                             const std::string& revision = "2024-11-05");
    // A headless zarnel started and initialized by a client of this name; none when it failed.
    static std::unique_ptr<ZarnelProcess> startClient(const TemporaryHome& home, const std::string& clientName,
                                                      const std::string& clientVersion, const std::string& revision);

    // Whether nothing arrives on standard output within the time.
    bool staysSilent(int timeoutMs);

    void closeInput();
    bool waitForExit(int timeoutMs = 10000);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QByteArray standardError() { return m_stderr += m_process.readAllStandardError(); }

private:
    const TemporaryHome& m_home;
    QProcess m_process;
    QProcessEnvironment m_environment;
    QStringList m_arguments;
    QStringList m_launcher;
    QByteArray m_stderr;
    std::int64_t m_nextId = 1;
};

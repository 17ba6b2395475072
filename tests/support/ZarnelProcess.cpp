#include "support/ZarnelProcess.h"

#include "protocol/JsonWriter.h"

#include <QDeadlineTimer>

ZarnelProcess::ZarnelProcess(const TemporaryHome& home, bool autoStart)
    : m_home(home)
    , m_environment(home.environment())
{
    if (autoStart)
        home.writePreferences({{QStringLiteral("autoStartServer"), true}});
}

ZarnelProcess::~ZarnelProcess()
{
    // An orderly end first, so that zarnel stops what it started (a killed zarnel leaves a
    // running command's process group behind).
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString ZarnelProcess::binaryPath()
{
    return QStringLiteral(ZARNEL_BINARY);
}

bool ZarnelProcess::start()
{
    m_process.setProcessEnvironment(m_environment);
    if (m_launcher.isEmpty())
        m_process.start(binaryPath(), m_arguments);
    else
        m_process.start(m_launcher.first(), m_launcher.mid(1) + QStringList{binaryPath()} + m_arguments);
    return m_process.waitForStarted(10000);
}

void ZarnelProcess::write(const QByteArray& bytes)
{
    m_process.write(bytes);
    m_process.waitForBytesWritten(10000);
}

void ZarnelProcess::sendLine(const QByteArray& line)
{
    write(line + '\n');
}

void ZarnelProcess::send(const nlohmann::json& message)
{
    sendLine(QByteArray::fromStdString(JsonWriter::compact(message)));
}

std::optional<QByteArray> ZarnelProcess::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        const bool more = m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        if (!more && (deadline.hasExpired() || !isRunning()) && !m_process.canReadLine())
            return std::nullopt;
    }
    QByteArray line = m_process.readLine();
    line.chop(1);
    return line;
}

std::optional<nlohmann::json> ZarnelProcess::readMessage(int timeoutMs)
{
    const auto line = readLine(timeoutMs);
    if (!line)
        return std::nullopt;
    return nlohmann::json::parse(line->toStdString(), nullptr, false);
}

std::optional<nlohmann::json> ZarnelProcess::request(const std::string& method, const nlohmann::json& params, int timeoutMs)
{
    const std::int64_t id = m_nextId++;
    nlohmann::json message = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
    if (!params.is_null())
        message["params"] = params;
    send(message);
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        auto response = readMessage(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        if (!response)
            return std::nullopt;
        if (response->contains("id") && (*response)["id"] == id)
            return response;
    }
    return std::nullopt;
}

std::optional<nlohmann::json> ZarnelProcess::callTool(const std::string& name, const nlohmann::json& arguments, int timeoutMs)
{
    auto response = request("tools/call", {{"name", name}, {"arguments", arguments}}, timeoutMs);
    if (!response || !response->contains("result"))
        return std::nullopt;
    return (*response)["result"];
}

std::optional<nlohmann::json> ZarnelProcess::initialize(const std::string& clientName, const std::string& clientVersion,
                                                        const std::string& revision)
{
    return request("initialize",
                   {{"protocolVersion", revision},
                    {"capabilities", nlohmann::json::object()},
                    {"clientInfo", {{"name", clientName}, {"version", clientVersion}}}});
}

std::unique_ptr<ZarnelProcess> ZarnelProcess::startClient(const TemporaryHome& home, const std::string& clientName,
                                                          const std::string& clientVersion, const std::string& revision)
{
    auto process = std::make_unique<ZarnelProcess>(home);
    if (!process->start())
        return nullptr;
    const auto answer = process->initialize(clientName, clientVersion, revision);
    return answer && answer->contains("result") ? std::move(process) : nullptr;
}

bool ZarnelProcess::staysSilent(int timeoutMs)
{
    return m_process.bytesAvailable() == 0 && !m_process.waitForReadyRead(timeoutMs);
}

void ZarnelProcess::closeInput()
{
    m_process.closeWriteChannel();
}

bool ZarnelProcess::waitForExit(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    return m_process.waitForFinished(timeoutMs);
}

ZarnelProcess::CommandRun ZarnelProcess::runCommand(const TemporaryHome& home, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(home.environment());
    process.setWorkingDirectory(home.path());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(binaryPath(), arguments);
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

std::string resultText(const nlohmann::json& result, std::size_t item)
{
    return result.at("content").at(item).at("text").get<std::string>();
}

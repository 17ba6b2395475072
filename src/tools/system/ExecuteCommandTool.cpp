#include "tools/system/ExecuteCommandTool.h"

#include <QElapsedTimer>

#include "platform/files/ByteCountFormatter.h"
#include "platform/processes/CommandSandbox.h"
#include "platform/processes/Log.h"
#include "platform/processes/ShellRunner.h"
#include "state/SettingsManager.h"

#include <QCoroFuture>
#include <QtConcurrent>

#include <algorithm>
#include <limits>

ZARNEL_LOGGING_CATEGORY(lcExecuteCommand, "ExecuteCommandTool")

namespace {

// Captured output cut at the capture limit may end inside a UTF-8 sequence: the partial
// sequence belongs with the bytes left out, not in the text as a replacement character.
qsizetype completeUtf8Length(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= std::min<qsizetype>(4, size); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const qsizetype needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return needed > back ? size - back : size;
    }
    return size;
}

// One stream as text. Bytes that are not UTF-8 become U+FFFD rather than costing the client
// the whole stream.
QString streamText(const QByteArray& bytes, qint64 omitted)
{
    if (omitted == 0)
        return QString::fromUtf8(bytes);
    const qsizetype kept = completeUtf8Length(bytes);
    QString text = QString::fromUtf8(bytes.constData(), kept);
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text + QStringLiteral("[Truncated: %1 more bytes left out]").arg(omitted + (bytes.size() - kept));
}

} // namespace

ExecuteCommandTool::ExecuteCommandTool(std::shared_ptr<const ShellRunner> runner, std::function<qint64()> defaultTimeout,
                                       std::shared_ptr<const FolderConfinement> confinement)
    : BaseTool(lcExecuteCommand())
    , m_runner(std::move(runner))
    , m_defaultTimeout(std::move(defaultTimeout))
    , m_confinement(std::move(confinement))
    , m_closing(std::make_shared<std::atomic<bool>>(false))
{
    m_commandThreads.setMaxThreadCount(256);
}

ExecuteCommandTool::~ExecuteCommandTool()
{
    // Commands still running are stopped (terminated, killed after the grace period) before
    // the pool waits for its threads.
    m_closing->store(true);
    m_commandThreads.waitForDone();
}

MCPTool ExecuteCommandTool::definition() const
{
    return makeDefinition("execute_command",
                          "Execute a shell command and return its output. Supports working directory and environment variables.",
                          {{"command", "string", "Shell command to execute"},
                           {"working_directory", "string", "Working directory (default: current)"},
                           {"timeout", "integer", "Timeout in seconds (default: 30)", std::nullopt, 1}},
                          {"command"});
}

qint64 ExecuteCommandTool::timeLimitFor(const Arguments& arguments) const
{
    // The setting may hold anything an external edit of the store put there; no limit at all
    // would end every command at once.
    qint64 fallback = m_defaultTimeout ? m_defaultTimeout() : SettingsManager::kDefaultCommandTimeout;
    if (fallback <= 0)
        fallback = SettingsManager::kDefaultCommandTimeout;
    // A limit of 0 is what some clients send for "none given".
    qint64 seconds = getIntArgument(arguments, "timeout", fallback).value_or(fallback);
    if (seconds <= 0)
        seconds = fallback;
    return std::min(seconds, kMaxTimeoutSeconds);
}

QCoro::Task<MCPToolCallResponse> ExecuteCommandTool::execute(Arguments arguments, CancellationToken cancellation)
{
    ShellCommand request;
    std::optional<MCPToolCallResponse> refusal;
    QFuture<ShellOutcome> running = start(arguments, cancellation, &request, &refusal);
    if (refusal)
        co_return *refusal;
    const ShellOutcome outcome = co_await running;
    co_return respond(request, outcome);
}

QFuture<ShellOutcome> ExecuteCommandTool::start(const Arguments& arguments, const CancellationToken& cancellation, ShellCommand* command,
                                                std::optional<MCPToolCallResponse>* refusal)
{
    const auto commandText = getStringArgument(arguments, "command", true);
    if (commandText.failed()) {
        *refusal = errorResult(commandText.errorText());
        return {};
    }
    const auto workingDirectory = getStringArgument(arguments, "working_directory", false);
    if (workingDirectory.hasValue() && containsNul(*workingDirectory)) {
        *refusal = nulPathResult();
        return {};
    }
    ShellCommand request;
    if (m_confinement) {
        if (workingDirectory.hasValue()) {
            if (auto refused = confinementRefusal(m_confinement.get(), *workingDirectory, FolderConfinement::Access::Read)) {
                *refusal = std::move(*refused);
                return {};
            }
        }
        const EffectiveFolders folders = m_confinement->effective();
        if (folders.confinesCommands()) {
            // Nothing runs unconfined while folders are set.
            if (const auto reason = CommandSandbox::unavailableReason(folders)) {
                const QString text = QStringLiteral("Commands cannot be confined on this system (%1); remove the allowed folders to run "
                                                    "them unconfined")
                                         .arg(*reason);
                qCWarning(lcExecuteCommand, "%s", qUtf8Printable(text));
                *refusal = errorResult(text);
                return {};
            }
            request.confinement = folders;
        }
    }
    request.command = *commandText;
    request.workingDirectory = workingDirectory.value();
    request.timeLimit = std::chrono::seconds(timeLimitFor(arguments));
    *command = request;
    // The runner asks often whether to stop; the time since the start and the output so far are
    // reported as progress now and then.
    QElapsedTimer started;
    started.start();
    const ShellRunner::StopCheck stopRequested = [cancellation, closing = m_closing, started,
                                                  pace = ProgressPace()](qint64 outputBytes) mutable {
        if (pace.due()) {
            const qint64 elapsed = started.elapsed();
            cancellation.reportProgress(
                static_cast<double>(elapsed) / 1000, std::numeric_limits<double>::quiet_NaN(),
                QStringLiteral("%1 s elapsed, %2 of output so far")
                    .arg(QString::number(static_cast<double>(elapsed) / 1000, 'f', 1), ByteCountFormatter::fileSize(outputBytes)));
        }
        return cancellation.isCancelled() || closing->load();
    };
    return QtConcurrent::run(&m_commandThreads,
                             [runner = m_runner, request, stopRequested] { return runner->run(request, stopRequested); });
}

MCPToolCallResponse ExecuteCommandTool::respond(const ShellCommand& command, const ShellOutcome& outcome)
{
    if (!outcome.started)
        return errorResult(QStringLiteral("Failed to execute command: ") + outcome.startError);
    const QString text = report(command, outcome);
    return outcome.exitCode == 0 ? successResult(text) : errorResult(text);
}

QString ExecuteCommandTool::report(const ShellCommand& command, const ShellOutcome& outcome)
{
    QString text = QStringLiteral("Command: ") + command.command + QStringLiteral("\nExit code: ") + QString::number(outcome.exitCode)
        + QLatin1Char('\n');
    // Otherwise an assistant sees only a 143 and cannot tell why.
    if (outcome.timedOut)
        text += QStringLiteral("Timed out after %1 seconds\n").arg(command.timeLimit.count());
    text += QLatin1Char('\n');
    const QString output = streamText(outcome.standardOutput, outcome.standardOutputOmitted);
    const QString error = streamText(outcome.standardError, outcome.standardErrorOmitted);
    if (!output.isEmpty())
        text += QStringLiteral("Output:\n") + output + QLatin1Char('\n');
    if (!error.isEmpty())
        text += QStringLiteral("Error:\n") + error + QLatin1Char('\n');
    return text;
}

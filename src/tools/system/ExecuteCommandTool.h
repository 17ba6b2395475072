#pragma once

#include "platform/processes/ShellRunner.h"
#include "tools/BaseTool.h"

#include <QFuture>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

class FolderConfinement;
class ShellRunner;

// execute_command: runs a command with the user's shell and reports its exit status and output.
class ExecuteCommandTool final : public BaseTool {
public:
    // The longest time limit a call can ask for.
    static constexpr qint64 kMaxTimeoutSeconds = 24 * 60 * 60;

    // `defaultTimeout` gives the time limit, in seconds, for calls that name none.
    // With `confinement`, commands run in the kernel's sandbox whenever it confines anything.
    ExecuteCommandTool(std::shared_ptr<const ShellRunner> runner, std::function<qint64()> defaultTimeout,
                       std::shared_ptr<const FolderConfinement> confinement = nullptr);
    ~ExecuteCommandTool() override;

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

    // The report a client sees for a command that ran.
    static QString report(const ShellCommand& command, const ShellOutcome& outcome);

private:
    // Everything before the wait happens outside the coroutine: g++ 12 miscompiles copies of
    // coroutine locals captured by a lambda inside the coroutine body.
    QFuture<ShellOutcome> start(const Arguments& arguments, const CancellationToken& cancellation, ShellCommand* command,
                                std::optional<MCPToolCallResponse>* refusal);
    static MCPToolCallResponse respond(const ShellCommand& command, const ShellOutcome& outcome);
    qint64 timeLimitFor(const Arguments& arguments) const;

    std::shared_ptr<const ShellRunner> m_runner;
    std::function<qint64()> m_defaultTimeout;
    std::shared_ptr<const FolderConfinement> m_confinement;
    // Commands block a thread for as long as they run: they get threads of their own rather
    // than the shared pool the other tools' work runs on.
    QThreadPool m_commandThreads;
    // Set when the tool goes away, which stops the commands still running.
    std::shared_ptr<std::atomic<bool>> m_closing;
};

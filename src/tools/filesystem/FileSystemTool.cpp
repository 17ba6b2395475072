#include "tools/filesystem/FileSystemTool.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

FilePath FileSystemTool::resolvePath(const QString& text) const
{
    if (text.startsWith(QLatin1Char('/')))
        return FilePath(text);
    return FilePath(files().currentDirectory() + QLatin1Char('/') + text);
}

MCPToolCallResponse FileSystemTool::failure(const char* action, const FileError& error) const
{
    qCCritical(logger(), "%s: %s", action, qUtf8Printable(error.description));
    return errorResult(QLatin1String(action) + QStringLiteral(": ") + error.description);
}

QCoro::Task<MCPToolCallResponse> FileSystemTool::transferItem(Arguments arguments, Transfer transfer)
{
    const auto source = getStringArgument(arguments, "source", true);
    const auto destination = getStringArgument(arguments, "destination", true);
    if (source.failed() || destination.failed())
        co_return errorResult(QStringLiteral("Missing required arguments"));
    QFuture<MCPToolCallResponse> work = QtConcurrent::run([this, from = resolvePath(*source), to = resolvePath(*destination), transfer] {
        if (!files().exists(from))
            return errorResult(QStringLiteral("Source not found: ") + from.text());
        const auto done = (files().*transfer.operation)(from, to);
        if (!done.ok())
            return failure(transfer.failedAction, done.error());
        return successResult(QStringLiteral("Successfully %1 from %2 to %3").arg(QLatin1String(transfer.doneVerb), from.text(), to.text()));
    });
    co_return co_await work;
}

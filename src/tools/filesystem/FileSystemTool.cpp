#include "tools/filesystem/FileSystemTool.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <memory>

FilePath FileSystemTool::resolvePath(const QString& text) const
{
    if (text.startsWith(QLatin1Char('/')))
        return FilePath(text);
    return FilePath(files().currentDirectory() + QLatin1Char('/') + text);
}

QString FileSystemTool::displayName(const QString& name)
{
    const auto needsEscape = [](char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; };
    if (std::none_of(name.begin(), name.end(), [&](QChar c) { return needsEscape(c.unicode()); }))
        return name;
    QString shown;
    shown.reserve(name.size() + 8);
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (!needsEscape(u))
            shown += c;
        else if (u == u'\n')
            shown += QStringLiteral("\\n");
        else if (u == u'\r')
            shown += QStringLiteral("\\r");
        else if (u == u'\t')
            shown += QStringLiteral("\\t");
        else if (u <= 0xFF)
            shown += QStringLiteral("\\x") + QString::number(u, 16).rightJustified(2, QLatin1Char('0'));
        else
            shown += QStringLiteral("\\u") + QString::number(u, 16);
    }
    return shown;
}

QCoro::Task<MCPToolCallResponse> FileSystemTool::inBackground(std::function<MCPToolCallResponse()> work)
{
    QFuture<std::shared_ptr<MCPToolCallResponse>> running =
        QtConcurrent::run([work = std::move(work)] { return std::make_shared<MCPToolCallResponse>(work()); });
    const std::shared_ptr<MCPToolCallResponse> result = co_await running;
    co_return std::move(*result);
}

std::optional<MCPToolCallResponse> FileSystemTool::refuseDotName(const FilePath& path, const char* verb, const char* what)
{
    const QByteArray name = path.nativeName();
    if (name != "." && name != "..")
        return std::nullopt;
    return errorResult(QStringLiteral("Refusing to %1 '.' or '..': name the %2 itself").arg(QLatin1String(verb), QLatin1String(what)));
}

MCPToolCallResponse FileSystemTool::failure(const char* action, const FileError& error) const
{
    qCCritical(logger(), "%s: %s", action, qUtf8Printable(error.description));
    if (error.isDenial())
        return errorResult(error.description);
    return errorResult(QLatin1String(action) + QStringLiteral(": ") + error.description);
}

QCoro::Task<MCPToolCallResponse> FileSystemTool::transferItem(Arguments arguments, Transfer transfer)
{
    const auto source = getStringArgument(arguments, "source", true);
    const auto destination = getStringArgument(arguments, "destination", true);
    if (source.failed() || destination.failed())
        co_return errorResult(QStringLiteral("Missing required arguments"));
    if (containsNul(*source) || containsNul(*destination))
        co_return nulPathResult();
    const FilePath from = resolvePath(*source);
    const FilePath to = resolvePath(*destination);
    const QByteArray ontoVerb = QByteArray(transfer.verb) + " onto";
    if (auto refused = transfer.changesSource ? refuseDotName(from, transfer.verb, "folder") : std::nullopt)
        co_return std::move(*refused);
    if (auto refused = refuseDotName(to, ontoVerb.constData(), "destination"))
        co_return std::move(*refused);
    QCoro::Task<MCPToolCallResponse> work = inBackground([this, from, to, transfer] {
        // A dangling link is an item of its own that can be moved.
        if (!files().itemExists(from))
            return errorResult(QStringLiteral("Source not found: ") + from.text());
        const auto done = (files().*transfer.operation)(from, to);
        if (!done.ok())
            return failure(transfer.failedAction, done.error());
        return successResult(QStringLiteral("Successfully %1 from %2 to %3").arg(QLatin1String(transfer.doneVerb), from.text(), to.text()));
    });
    co_return co_await work;
}

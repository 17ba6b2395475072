#include "tools/filesystem/WriteFileTool.h"

#include "platform/Log.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

ZARNEL_LOGGING_CATEGORY(lcWriteFile, "WriteFileTool")

namespace {

// Standard alphabet with "=" padding to a multiple of four; anything else (white space and
// line breaks included) makes the whole text invalid.
std::optional<QByteArray> decodeBase64Strictly(const QString& text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool valid = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' || u == '/' || u == '=';
        if (!valid)
            return std::nullopt;
    }
    const qsizetype padding = text.endsWith(QStringLiteral("==")) ? 2 : text.endsWith(QLatin1Char('=')) ? 1 : 0;
    if (text.indexOf(QLatin1Char('=')) < text.size() - padding)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

} // namespace

WriteFileTool::WriteFileTool(FileManager& files)
    : FileSystemTool(lcWriteFile(), files)
{
}

MCPTool WriteFileTool::definition() const
{
    return makeDefinition("write_file", "Write content to a file. Creates the file if it doesn't exist, overwrites if it does.",
                          {{"path", "string", "Absolute or relative file path"},
                           {"content", "string", "Content to write (text or base64 for binary)"},
                           {"encoding", "string", "Text encoding (default: utf8)", std::vector<std::string>{"utf8", "ascii", "utf16"}},
                           {"base64", "boolean", "Whether content is base64-encoded binary"}},
                          {"path", "content"});
}

QCoro::Task<MCPToolCallResponse> WriteFileTool::execute(Arguments arguments, CancellationToken cancellation)
{
    Q_UNUSED(cancellation)
    const auto path = getStringArgument(arguments, "path", true);
    const auto content = getStringArgument(arguments, "content", true);
    if (path.failed() || content.failed())
        co_return errorResult(QStringLiteral("Missing required arguments"));
    const bool base64 = getBoolArgument(arguments, "base64", false);
    QFuture<MCPToolCallResponse> work =
        QtConcurrent::run([this, target = resolvePath(*path), text = *content, base64] { return write(target, text, base64); });
    co_return co_await work;
}

MCPToolCallResponse WriteFileTool::write(const FilePath& path, const QString& content, bool base64) const
{
    const FilePath parent = path.parent();
    if (!files().exists(parent)) {
        const auto created = files().createDirectory(parent, true);
        if (!created.ok())
            return failure("Failed to write file", created.error());
    }
    FileResult<void> written;
    if (base64) {
        const auto bytes = decodeBase64Strictly(content);
        if (!bytes)
            return errorResult(QStringLiteral("Invalid base64 content"));
        written = files().writeFile(path, *bytes);
    } else {
        written = files().writeFileAtomically(path, content.toUtf8());
    }
    if (!written.ok())
        return failure("Failed to write file", written.error());
    return successResult(QStringLiteral("Successfully wrote to ") + path.text());
}

#include "tools/filesystem/ReadFileTool.h"

#include "platform/Log.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

ZARNEL_LOGGING_CATEGORY(lcReadFile, "ReadFileTool")

ReadFileTool::ReadFileTool(FileManager& files)
    : FileSystemTool(lcReadFile(), files)
{
}

MCPTool ReadFileTool::definition() const
{
    return makeDefinition("read_file",
                          "Read the contents of a file. Supports text and binary files. For binary files, returns base64-encoded content.",
                          {{"path", "string", "Absolute or relative file path"},
                           {"encoding", "string", "Text encoding (default: utf8)", std::vector<std::string>{"utf8", "ascii", "utf16"}}},
                          {"path"});
}

QCoro::Task<MCPToolCallResponse> ReadFileTool::execute(Arguments arguments, CancellationToken cancellation)
{
    const auto path = getStringArgument(arguments, "path", true);
    if (path.failed())
        co_return errorResult(path.errorText());
    if (containsNul(*path))
        co_return nulPathResult();
    const auto encoding = TextEncoding::fromArgument(getStringArgument(arguments, "encoding", false).value());
    if (const auto* invalid = std::get_if<ToolError>(&encoding))
        co_return errorResult(invalid->description());
    QFuture<MCPToolCallResponse> work = QtConcurrent::run([this, resolved = resolvePath(*path), encoding = std::get<TextEncoding>(encoding),
                                                           cancellation] { return read(resolved, encoding, cancellation); });
    co_return co_await work;
}

MCPToolCallResponse ReadFileTool::read(const FilePath& path, TextEncoding encoding, const CancellationToken& cancellation) const
{
    if (!files().exists(path))
        return errorResult(QStringLiteral("File not found: ") + path.text());
    auto read = files().readFile(path, [&cancellation] { return cancellation.isCancelled(); });
    if (!read.ok())
        return failure("Failed to read file", read.error());

    // The text goes into the response without passing through UTF-16: a large file is held
    // once as bytes and once as the response's text, not three times.
    QByteArray bytes = std::move(read.value());
    if (encoding.kind() != TextEncoding::Kind::Utf8) {
        auto decoded = encoding.decode(bytes);
        if (decoded.index() == 1)
            return failure("Failed to read file", FileError{std::get<1>(decoded)});
        return successResult(std::get<0>(decoded));
    }
    if (QByteArrayView(bytes).isValidUtf8()) {
        std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        bytes = QByteArray();
        return MCPToolCallResponse{{MCPContent::text(std::move(text))}, std::nullopt};
    }
    std::string encoded = "Base64: ";
    encoded += bytes.toBase64().toStdString();
    return MCPToolCallResponse{
        {MCPContent::text("File is binary (" + std::to_string(bytes.size()) + " bytes)"), MCPContent::text(std::move(encoded))},
        std::nullopt};
}

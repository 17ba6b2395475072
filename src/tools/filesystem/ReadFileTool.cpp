#include "tools/filesystem/ReadFileTool.h"

#include "platform/files/ByteCountFormatter.h"
#include "platform/processes/Log.h"

#include <limits>

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
    QCoro::Task<MCPToolCallResponse> work = inBackground([this, resolved = resolvePath(*path), encoding = std::get<TextEncoding>(encoding),
                                                          cancellation] { return read(resolved, encoding, cancellation); });
    co_return co_await work;
}

MCPToolCallResponse ReadFileTool::read(const FilePath& path, TextEncoding encoding, const CancellationToken& cancellation) const
{
    if (!files().exists(path))
        return errorResult(QStringLiteral("File not found: ") + path.text());
    ProgressPace pace;
    const auto progressed = [&cancellation, &pace](qint64 done, qint64 size) {
        if (!pace.due())
            return;
        // A file that grows while it is read has no known size.
        const bool sized = size >= done;
        cancellation.reportProgress(
            static_cast<double>(done), sized ? static_cast<double>(size) : std::numeric_limits<double>::quiet_NaN(),
            sized ? QStringLiteral("%1 of %2 read").arg(ByteCountFormatter::fileSize(done), ByteCountFormatter::fileSize(size))
                  : QStringLiteral("%1 read").arg(ByteCountFormatter::fileSize(done)));
    };
    auto read = files().readFile(
        path, [&cancellation] { return cancellation.isCancelled(); }, progressed);
    if (!read.ok())
        return failure("Failed to read file", read.error());

    // The bytes read become the response's text as they are: a large file is not copied on its
    // way to the output.
    std::string bytes = std::move(read.value());
    const auto view = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (encoding.kind() != TextEncoding::Kind::Utf8) {
        auto decoded = encoding.decode(view);
        if (decoded.index() == 1)
            return failure("Failed to read file", FileError{std::get<1>(decoded)});
        return successResult(std::get<0>(decoded));
    }
    MCPToolCallResponse result;
    if (QByteArrayView(view).isValidUtf8()) {
        result.content.push_back(MCPContent::text(std::move(bytes)));
        return result;
    }
    result.content.push_back(MCPContent::text("File is binary (" + std::to_string(bytes.size()) + " bytes)"));
    result.content.push_back(MCPContent::text("Base64: " + view.toBase64().toStdString()));
    return result;
}

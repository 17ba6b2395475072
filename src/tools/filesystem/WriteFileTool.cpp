#include "tools/filesystem/WriteFileTool.h"

#include "platform/processes/Log.h"

ZARNEL_LOGGING_CATEGORY(lcWriteFile, "WriteFileTool")

namespace {

// The standard alphabet, with or without "=" padding at the end (a padded text is a multiple
// of four long); anything else (white space and line breaks included) makes the text invalid.
std::optional<QByteArray> decodeBase64Strictly(const QString& text)
{
    qsizetype length = text.size();
    qsizetype padding = 0;
    while (length > 0 && padding < 2 && text[length - 1] == QLatin1Char('=')) {
        --length;
        ++padding;
    }
    if (length % 4 == 1 || (padding > 0 && text.size() % 4 != 0))
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(length / 4 * 3 + 2);
    quint32 bits = 0;
    int count = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t u = text[i].unicode();
        int value;
        if (u >= 'A' && u <= 'Z')
            value = u - 'A';
        else if (u >= 'a' && u <= 'z')
            value = u - 'a' + 26;
        else if (u >= '0' && u <= '9')
            value = u - '0' + 52;
        else if (u == '+')
            value = 62;
        else if (u == '/')
            value = 63;
        else
            return std::nullopt;
        bits = (bits << 6) | static_cast<quint32>(value);
        if (++count == 4) {
            bytes.append(static_cast<char>(bits >> 16));
            bytes.append(static_cast<char>(bits >> 8));
            bytes.append(static_cast<char>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        bytes.append(static_cast<char>(bits >> 4));
    } else if (count == 3) {
        bytes.append(static_cast<char>(bits >> 10));
        bytes.append(static_cast<char>(bits >> 2));
    }
    return bytes;
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
    if (containsNul(*path))
        co_return nulPathResult();
    const bool base64 = getBoolArgument(arguments, "base64", false);
    const auto encoding = TextEncoding::fromArgument(getStringArgument(arguments, "encoding", false).value());
    if (const auto* invalid = std::get_if<ToolError>(&encoding))
        co_return errorResult(invalid->description());
    const FilePath target = resolvePath(*path);
    if (auto refused = refuseDotName(target, "write", "file"))
        co_return std::move(*refused);
    QCoro::Task<MCPToolCallResponse> work =
        inBackground([this, target, text = *content, base64, encoding = std::get<TextEncoding>(encoding)] {
            return write(target, text, base64, encoding);
        });
    co_return co_await work;
}

MCPToolCallResponse WriteFileTool::write(const FilePath& path, const QString& content, bool base64, TextEncoding encoding) const
{
    const FilePath parent = path.parent();
    if (!files().exists(parent)) {
        const auto created = files().createDirectory(parent, true);
        if (!created.ok())
            return failure("Failed to write file", created.error());
    }
    QByteArray bytes;
    if (base64) {
        auto decoded = decodeBase64Strictly(content);
        if (!decoded)
            return errorResult(QStringLiteral("Invalid base64 content"));
        bytes = std::move(*decoded);
    } else {
        auto encoded = encoding.encode(content);
        if (encoded.index() == 1)
            return errorResult(QStringLiteral("Failed to write file: ") + std::get<1>(encoded));
        bytes = std::move(std::get<0>(encoded));
    }
    const auto written = files().writeFileAtomically(path, bytes);
    if (!written.ok())
        return failure("Failed to write file", written.error());
    return successResult(QStringLiteral("Successfully wrote to ") + path.text());
}

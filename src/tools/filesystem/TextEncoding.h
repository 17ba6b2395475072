#pragma once

#include "tools/BaseTool.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// The `encoding` of read_file and write_file. "utf8" (and no value) leaves the bytes as they
// are; "ascii" is 7-bit text only; "utf16" reads with a byte-order mark deciding the order
// (little-endian without one) and writes little-endian with a mark.
class TextEncoding {
public:
    enum class Kind { Utf8, Ascii, Utf16 };

    // The encoding the argument names, or the error naming the accepted values.
    static std::variant<TextEncoding, ToolError> fromArgument(const std::optional<QString>& value);

    Kind kind() const { return m_kind; }

    // The file's text, or why the bytes are not text in this encoding. Not for Utf8, whose
    // files are read as they are.
    std::variant<QString, QString> decode(const QByteArray& bytes) const;
    // The bytes to write, or why the text cannot be written in this encoding.
    std::variant<QByteArray, QString> encode(const QString& text) const;

private:
    explicit TextEncoding(Kind kind)
        : m_kind(kind)
    {
    }

    Kind m_kind;
};

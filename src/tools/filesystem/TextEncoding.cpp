#include "tools/filesystem/TextEncoding.h"

namespace {

QString codePointText(char32_t codePoint)
{
    return QStringLiteral("U+") + QString::number(static_cast<uint>(codePoint), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

} // namespace

std::variant<TextEncoding, ToolError> TextEncoding::fromArgument(const std::optional<QString>& value)
{
    if (!value || *value == QLatin1String("utf8"))
        return TextEncoding(Kind::Utf8);
    if (*value == QLatin1String("ascii"))
        return TextEncoding(Kind::Ascii);
    if (*value == QLatin1String("utf16"))
        return TextEncoding(Kind::Utf16);
    return ToolError::invalidArgument(QStringLiteral("encoding"),
                                      QStringLiteral("\"%1\" is not one of utf8, ascii, utf16").arg(value->left(64)));
}

std::variant<QString, QString> TextEncoding::decode(const QByteArray& bytes) const
{
    if (m_kind == Kind::Ascii) {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (static_cast<unsigned char>(bytes[i]) > 0x7F)
                return std::variant<QString, QString>(std::in_place_index<1>,
                                                      QStringLiteral("The file is not 7-bit ASCII text (byte 0x%1 at offset %2)")
                                                          .arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0'))
                                                          .arg(i));
        }
        return std::variant<QString, QString>(std::in_place_index<0>, QString::fromLatin1(bytes));
    }
    QByteArrayView text(bytes);
    enum class Order { LittleEndian, BigEndian };
    Order order = Order::LittleEndian;
    if (text.startsWith("\xFE\xFF")) {
        order = Order::BigEndian;
        text = text.sliced(2);
    } else if (text.startsWith("\xFF\xFE")) {
        text = text.sliced(2);
    }
    const auto invalid = [] {
        return std::variant<QString, QString>(std::in_place_index<1>, QStringLiteral("The file is not valid UTF-16 text"));
    };
    if (text.size() % 2 != 0)
        return invalid();
    QString decoded(text.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const auto first = static_cast<unsigned char>(text[2 * i]);
        const auto second = static_cast<unsigned char>(text[2 * i + 1]);
        decoded[i] =
            QChar(order == Order::BigEndian ? static_cast<char16_t>(first << 8 | second) : static_cast<char16_t>(second << 8 | first));
    }
    // Every surrogate must be half of a pair.
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        if (decoded[i].isHighSurrogate() && i + 1 < decoded.size() && decoded[i + 1].isLowSurrogate())
            ++i;
        else if (decoded[i].isSurrogate())
            return invalid();
    }
    return std::variant<QString, QString>(std::in_place_index<0>, std::move(decoded));
}

std::variant<QByteArray, QString> TextEncoding::encode(const QString& text) const
{
    if (m_kind == Kind::Utf8)
        return text.toUtf8();
    if (m_kind == Kind::Ascii) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].unicode() > 0x7F) {
                const char32_t codePoint = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                    ? QChar::surrogateToUcs4(text[i], text[i + 1])
                    : text[i].unicode();
                return std::variant<QByteArray, QString>(
                    std::in_place_index<1>,
                    QStringLiteral("Content is not 7-bit ASCII text (%1 at position %2)").arg(codePointText(codePoint)).arg(i));
            }
        }
        return text.toLatin1();
    }
    QByteArray bytes("\xFF\xFE", 2);
    bytes.reserve(2 + text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

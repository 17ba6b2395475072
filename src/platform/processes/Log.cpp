#include "platform/processes/Log.h"

namespace Log {

void installDefaultRules()
{
    // Rules given in QT_LOGGING_RULES take precedence over these.
    QLoggingCategory::setFilterRules(QStringLiteral("com.tarvonic.zarnel.*.debug=false\n"
                                                    "com.tarvonic.zarnel.*.info=false"));
}

void installQuietRules()
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.tarvonic.zarnel.*=false"));
}

std::string clip(const std::string& text)
{
    if (text.size() <= static_cast<std::size_t>(kMaxClientTextBytes))
        return text;
    std::size_t cut = static_cast<std::size_t>(kMaxClientTextBytes);
    // Back to the start of the character the cut falls in.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "\u2026 (" + std::to_string(text.size()) + " bytes)";
}

QString clip(const QString& text)
{
    // A UTF-8 byte is at most one UTF-16 unit: shorter texts are within the limit.
    if (text.size() <= kMaxClientTextBytes / 3)
        return text;
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() <= kMaxClientTextBytes)
        return text;
    return QString::fromStdString(clip(bytes.toStdString()));
}

} // namespace Log

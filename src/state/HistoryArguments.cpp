#include "state/HistoryArguments.h"

#include "platform/processes/Log.h"
#include "protocol/JsonWriter.h"

#include <QCryptographicHash>

namespace HistoryArguments {

namespace {

bool isWrittenContent(const std::string& tool, const std::string& key)
{
    return key == "content" && (tool == "write_file" || tool == "set_clipboard");
}

Json cut(const Json& value)
{
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        return text.size() <= kMaxStringBytes ? value : Json(Log::clip(text));
    }
    if (value.is_array()) {
        Json out = Json::array();
        for (const Json& each : value)
            out.push_back(cut(each));
        return out;
    }
    if (value.is_object()) {
        Json out = Json::object();
        for (auto it = value.begin(); it != value.end(); ++it)
            out[it.key()] = cut(it.value());
        return out;
    }
    return value;
}

Json fingerprint(const Json& content)
{
    // Whatever the client sent in place of text is still written out by the tool or refused by
    // it; either way its bytes are not kept.
    const std::string bytes = content.is_string() ? content.get<std::string>() : JsonWriter::compact(content);
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256);
    return Json{{"bytes", bytes.size()}, {"sha256", digest.toHex().toStdString()}};
}

} // namespace

Json keep(const std::string& tool, const Json& arguments)
{
    if (!arguments.is_object())
        return cut(arguments);
    Json out = Json::object();
    for (auto it = arguments.begin(); it != arguments.end(); ++it)
        out[it.key()] = isWrittenContent(tool, it.key()) ? fingerprint(it.value()) : cut(it.value());
    return out;
}

QString summary(const QString& keptArguments, qsizetype maxCharacters)
{
    const auto parsed = json::parse(keptArguments.toStdString());
    QString text;
    if (parsed && parsed->is_object()) {
        QStringList pairs;
        for (auto it = parsed->begin(); it != parsed->end(); ++it) {
            const std::string value = it.value().is_string() ? it.value().get<std::string>() : JsonWriter::compact(it.value());
            pairs.append(QString::fromStdString(it.key()) + QLatin1Char('=') + QString::fromStdString(value));
        }
        text = pairs.join(QLatin1Char(' '));
    } else {
        text = keptArguments;
    }
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (text.size() > maxCharacters)
        text = text.left(maxCharacters - 1) + QChar(0x2026);
    return text;
}

} // namespace HistoryArguments

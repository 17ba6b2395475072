#include "control/DesktopInstanceClipboard.h"

#include "control/DesktopInstanceFinder.h"
#include "control/DisplayCommands.h"
#include "control/TransferFile.h"

#include <QFile>

using ControlProtocol::Reply;

namespace {

QString notAnswered(const Reply& reply)
{
    return QStringLiteral("the desktop instance did not answer: ") + QString::fromStdString(reply.message);
}

std::optional<QString> stringIn(const Reply& reply, const char* key)
{
    const Json value = reply.ok && reply.result.is_object() ? reply.result.value(key, Json()) : Json();
    return value.is_string() ? std::optional<QString>(QString::fromStdString(value.get<std::string>())) : std::nullopt;
}

std::optional<QStringList> pathsIn(const Reply& reply)
{
    const Json value = reply.ok && reply.result.is_object() ? reply.result.value("paths", Json()) : Json();
    if (!value.is_array())
        return std::nullopt;
    QStringList paths;
    for (const Json& path : value)
        if (path.is_string())
            paths.append(QString::fromStdString(path.get<std::string>()));
    return paths;
}

// A long text comes in a transfer file.
std::optional<QString> textIn(const Reply& reply, const ControlFolder& folder)
{
    if (const std::optional<QString> file = stringIn(reply, "file")) {
        QString error;
        const std::optional<QByteArray> bytes = TransferFile::take(folder, *file, &error);
        return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
    }
    return stringIn(reply, "text");
}

ClipboardWrite writeOutcome(bool copied, const QString& failure)
{
    ClipboardWrite write;
    write.copied = copied;
    write.failure = failure;
    return write;
}

ClipboardWrite writeIn(const Reply& reply)
{
    if (!reply.ok)
        return writeOutcome(false, notAnswered(reply));
    const bool copied = reply.result.is_object() && reply.result.value("copied", false);
    return writeOutcome(copied, stringIn(reply, "failure").value_or(QString()));
}

// A long text goes in a transfer file of ours, which the desktop instance reads and removes.
std::optional<Json> setArguments(const QString& text, const ControlFolder& folder, QString* error)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() <= TransferFile::kLongestTextOnALine)
        return Json{{"action", "set"}, {"text", bytes.toStdString()}};
    const std::optional<QString> path = TransferFile::createWith(folder, QStringLiteral(".txt"), bytes, error);
    if (!path)
        return std::nullopt;
    return Json{{"action", "set"}, {"file", path->toStdString()}};
}

} // namespace

DesktopInstanceClipboard::DesktopInstanceClipboard(std::shared_ptr<DesktopInstanceFinder> finder, Fallback fallback)
    : m_finder(std::move(finder))
    , m_fallback(std::move(fallback))
{
}

QCoro::Task<std::optional<Reply>> DesktopInstanceClipboard::ask(Json args)
{
    const std::shared_ptr<DesktopInstanceFinder> finder = m_finder;
    QCoro::Task<std::optional<Reply>> asking =
        finder->ask(std::string(DisplayCommands::kClipboardCommand), std::move(args), kRequestTimeoutMs);
    co_return co_await asking;
}

QCoro::Task<std::optional<QString>> DesktopInstanceClipboard::unavailableReason()
{
    QCoro::Task<std::optional<Reply>> asking = ask(Json{{"action", "reason"}});
    const std::optional<Reply> reply = co_await asking;
    if (reply) {
        if (!reply->ok)
            co_return notAnswered(*reply);
        co_return stringIn(*reply, "reason");
    }
    if (const std::shared_ptr<Clipboard> local = m_fallback.get())
        co_return co_await local->unavailableReason();
    co_return m_finder->absenceReason();
}

QCoro::Task<std::optional<QString>> DesktopInstanceClipboard::text()
{
    QCoro::Task<std::optional<Reply>> asking = ask(Json{{"action", "text"}});
    const std::optional<Reply> reply = co_await asking;
    if (reply)
        co_return textIn(*reply, m_finder->folder());
    if (const std::shared_ptr<Clipboard> local = m_fallback.get())
        co_return co_await local->text();
    co_return std::nullopt;
}

QCoro::Task<std::optional<QByteArray>> DesktopInstanceClipboard::imagePng()
{
    QCoro::Task<std::optional<Reply>> asking = ask(Json{{"action", "image"}});
    const std::optional<Reply> reply = co_await asking;
    if (reply) {
        const std::optional<QString> file = stringIn(*reply, "file");
        if (!file)
            co_return std::nullopt;
        QString error;
        co_return TransferFile::take(m_finder->folder(), *file, &error);
    }
    if (const std::shared_ptr<Clipboard> local = m_fallback.get())
        co_return co_await local->imagePng();
    co_return std::nullopt;
}

QCoro::Task<std::optional<QStringList>> DesktopInstanceClipboard::filePaths()
{
    QCoro::Task<std::optional<Reply>> asking = ask(Json{{"action", "paths"}});
    const std::optional<Reply> reply = co_await asking;
    if (reply)
        co_return pathsIn(*reply);
    if (const std::shared_ptr<Clipboard> local = m_fallback.get())
        co_return co_await local->filePaths();
    co_return std::nullopt;
}

QCoro::Task<ClipboardWrite> DesktopInstanceClipboard::setText(QString text)
{
    const std::shared_ptr<DesktopInstanceFinder> finder = m_finder;
    QCoro::Task<qint64> finding = finder->find();
    const qint64 pid = co_await finding;
    if (pid != 0) {
        QString error;
        const std::optional<Json> args = setArguments(text, finder->folder(), &error);
        if (!args)
            co_return writeOutcome(false, QStringLiteral("cannot hand the text to the desktop instance: ") + error);
        QCoro::Task<std::optional<Reply>> asking = ask(*args);
        const std::optional<Reply> reply = co_await asking;
        if (reply)
            co_return writeIn(*reply);
        if (const auto file = args->find("file"); file != args->end())
            QFile::remove(QString::fromStdString(file->get<std::string>()));
    }
    if (const std::shared_ptr<Clipboard> local = m_fallback.get())
        co_return co_await local->setText(text);
    co_return writeOutcome(false, finder->absenceReason());
}

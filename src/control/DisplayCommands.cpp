#include "control/DisplayCommands.h"

#include "control/ControlServer.h"
#include "control/TransferFile.h"
#include "platform/session/Clipboard.h"
#include "platform/session/ScreenGrabber.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>

using ControlProtocol::Reply;
namespace Code = ControlProtocol::Code;

namespace {

Json optionalString(const std::optional<QString>& value)
{
    return value ? Json(value->toStdString()) : Json();
}

const char* statusWord(ScreenCapture::Status status)
{
    switch (status) {
    case ScreenCapture::Status::Saved: return "saved";
    case ScreenCapture::Status::NoScreen: return "noScreen";
    case ScreenCapture::Status::CouldNotCapture: return "couldNotCapture";
    case ScreenCapture::Status::Failed: break;
    }
    return "failed";
}

// The replies are made outside the coroutines: g++ 12 mishandles aggregates brace-initialised
// inside a coroutine body.
Reply captureReply(const ScreenCapture& capture, const QString& file)
{
    Json result{{"status", statusWord(capture.status)}, {"error", capture.error.toStdString()}};
    if (capture.status == ScreenCapture::Status::Saved)
        result["file"] = file.toStdString();
    return Reply::success(std::move(result));
}

Reply noScreen()
{
    ScreenCapture capture;
    capture.status = ScreenCapture::Status::NoScreen;
    return captureReply(capture, {});
}

Reply noTransferFile(const QString& why)
{
    return Reply::failure(Code::Failed, "cannot make a file for the image: " + why.toStdString());
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QFuture<bool> writeInBackground(const QString& path, const QByteArray& bytes)
{
    return QtConcurrent::run([path, bytes] { return writeAll(path, bytes); });
}

} // namespace

const QStringList& DisplayCommands::displayVariables()
{
    static const QStringList names{QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("XAUTHORITY"),
                                   QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("DBUS_SESSION_BUS_ADDRESS")};
    return names;
}

DisplayCommands::DisplayCommands(std::shared_ptr<Clipboard> clipboard, std::shared_ptr<ScreenGrabber> screen, ControlFolder folder)
    : m_clipboard(std::move(clipboard))
    , m_screen(std::move(screen))
    , m_folder(std::move(folder))
{
}

void DisplayCommands::registerWith(ControlServer& server)
{
    server.registerCommand(QString::fromLatin1(kClipboardCommand), [this](Json args) { return clipboard(std::move(args)); });
    server.registerCommand(QString::fromLatin1(kScreenshotCommand), [this](Json) { return screenshot(); });
    server.registerCommand(QString::fromLatin1(kDisplayEnvironmentCommand),
                           [](Json) -> QCoro::Task<Reply> { co_return displayEnvironment(); });
}

QCoro::Task<Reply> DisplayCommands::clipboard(Json args)
{
    const std::shared_ptr<Clipboard> clipboard = m_clipboard;
    const std::string action = args.value("action", std::string());
    if (action == "reason") {
        const std::optional<QString> reason = co_await clipboard->unavailableReason();
        co_return Reply::success(Json{{"reason", optionalString(reason)}});
    }
    if (action == "text") {
        const std::optional<QString> text = co_await clipboard->text();
        co_return textReply(text);
    }
    if (action == "paths") {
        const std::optional<QStringList> paths = co_await clipboard->filePaths();
        Json list = Json();
        if (paths) {
            list = Json::array();
            for (const QString& path : *paths)
                list.push_back(path.toStdString());
        }
        co_return Reply::success(Json{{"paths", std::move(list)}});
    }
    if (action == "image")
        co_return co_await imageFile();
    if (action == "set") {
        const std::optional<QString> text = textToSet(args);
        if (!text)
            co_return Reply::failure(Code::BadArguments, "\"set\" takes \"text\", or a transfer file in \"file\"");
        const ClipboardWrite write = co_await clipboard->setText(*text);
        co_return Reply::success(Json{{"copied", write.copied}, {"failure", write.failure.toStdString()}});
    }
    co_return Reply::failure(Code::BadArguments, "\"action\" is one of reason, text, image, paths or set");
}

Reply DisplayCommands::textReply(const std::optional<QString>& text) const
{
    const QByteArray bytes = text ? text->toUtf8() : QByteArray();
    if (bytes.size() <= TransferFile::kLongestTextOnALine)
        return Reply::success(Json{{"text", optionalString(text)}});
    QString error;
    const std::optional<QString> file = TransferFile::createWith(m_folder, QStringLiteral(".txt"), bytes, &error);
    if (!file)
        return Reply::failure(Code::Failed, "cannot make a file for the text: " + error.toStdString());
    return Reply::success(Json{{"file", file->toStdString()}});
}

std::optional<QString> DisplayCommands::textToSet(const Json& args) const
{
    const auto text = args.find("text");
    if (text != args.end() && text->is_string())
        return QString::fromStdString(text->get<std::string>());
    const auto file = args.find("file");
    if (file == args.end() || !file->is_string())
        return std::nullopt;
    QString error;
    const std::optional<QByteArray> bytes = TransferFile::take(m_folder, QString::fromStdString(file->get<std::string>()), &error);
    return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
}

QCoro::Task<Reply> DisplayCommands::imageFile()
{
    const std::shared_ptr<Clipboard> clipboard = m_clipboard;
    const std::optional<QByteArray> png = co_await clipboard->imagePng();
    if (!png)
        co_return Reply::success(Json{{"file", Json()}});
    QString error;
    const std::optional<QString> file = TransferFile::create(m_folder, QStringLiteral(".png"), &error);
    if (!file)
        co_return noTransferFile(error);
    QFuture<bool> writing = writeInBackground(*file, *png);
    if (!co_await writing) {
        QFile::remove(*file);
        co_return noTransferFile(QStringLiteral("the file could not be written"));
    }
    co_return Reply::success(Json{{"file", file->toStdString()}});
}

QCoro::Task<Reply> DisplayCommands::screenshot()
{
    const std::shared_ptr<ScreenGrabber> screen = m_screen;
    if (!screen->hasScreen())
        co_return noScreen();
    QString error;
    const std::optional<QString> file = TransferFile::create(m_folder, QStringLiteral(".png"), &error);
    if (!file)
        co_return noTransferFile(error);
    const ScreenCapture capture = co_await screen->captureToFile(*file);
    if (capture.status != ScreenCapture::Status::Saved)
        QFile::remove(*file);
    co_return captureReply(capture, *file);
}

Reply DisplayCommands::displayEnvironment()
{
    Json variables = Json::object();
    for (const QString& name : displayVariables()) {
        const QString value = qEnvironmentVariable(name.toLocal8Bit().constData());
        if (!value.isEmpty())
            variables[name.toStdString()] = value.toStdString();
    }
    return Reply::success(Json{{"variables", std::move(variables)}});
}

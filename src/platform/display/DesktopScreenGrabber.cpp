#include "platform/display/DesktopScreenGrabber.h"

#include "platform/display/DisplayConnection.h"
#include "platform/processes/ProgramFailure.h"

#include <QCoroDBusPendingCall>
#include <QCoroFuture>
#include <QCoroProcess>
#include <QCoroSignal>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <QVariantMap>
#include <QtConcurrent>

#include <memory>
#include <vector>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// The outcomes are made outside the coroutines: g++ 12 loses the copy of a QString member when
// an aggregate is brace-initialised inside a coroutine body.
ScreenCapture outcome(ScreenCapture::Status status, const QString& error = {})
{
    ScreenCapture capture;
    capture.status = status;
    capture.error = error;
    return capture;
}

ScreenCapture couldNotCapture(const QString& why)
{
    return outcome(ScreenCapture::Status::CouldNotCapture, why);
}

ScreenCapture writePng(const QImage& image, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return couldNotCapture(file.errorString());
    if (!image.save(&file, "PNG"))
        return couldNotCapture(file.error() != QFileDevice::NoError ? file.errorString()
                                                                    : QStringLiteral("cannot encode the image as PNG"));
    return {};
}

// Encoding a large screen takes a while: not on the main thread. Not a lambda inside the
// coroutine either, whose captured copies g++ 12 gets wrong.
QFuture<ScreenCapture> writePngInBackground(const QImage& image, const QString& path)
{
    return QtConcurrent::run([image, path] { return writePng(image, path); });
}

ScreenCapture copyFile(const QString& source, const QString& path)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return couldNotCapture(input.errorString());
    const QByteArray bytes = input.readAll();
    QFile output(path);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate) || output.write(bytes) != bytes.size())
        return couldNotCapture(output.errorString());
    return {};
}

QVariantMap screenshotOptions(const QString& token)
{
    return {{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), false}, {QStringLiteral("modal"), false}};
}

// The command-line grabbers we know, each with its arguments for writing a PNG to `path`.
std::vector<std::pair<QString, QStringList>> grabberCommands(const QString& path)
{
    return {
        {QStringLiteral("grim"), {path}},
        {QStringLiteral("gnome-screenshot"), {QStringLiteral("-f"), path}},
        {QStringLiteral("spectacle"), {QStringLiteral("-b"), QStringLiteral("-n"), QStringLiteral("-o"), path}},
    };
}

// Receives the portal's answer to one request; keeps it in case it comes before anyone waits.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    std::optional<std::pair<uint, QVariantMap>> answer;

public Q_SLOTS:
    void handleResponse(uint response, const QVariantMap& results)
    {
        answer.emplace(response, results);
        Q_EMIT answered();
    }

Q_SIGNALS:
    void answered();
};

} // namespace

DesktopScreenGrabber::DesktopScreenGrabber(const QDBusConnection& bus, std::chrono::milliseconds timeLimit)
    : m_bus(bus)
    , m_timeLimit(timeLimit)
{
}

bool DesktopScreenGrabber::hasScreen() const
{
    switch (DisplayConnection::connectedDisplay()) {
    case DisplayConnection::DisplayServer::X11: return QGuiApplication::primaryScreen() != nullptr;
    case DisplayConnection::DisplayServer::Wayland: return true;
    case DisplayConnection::DisplayServer::None: break;
    }
    return false;
}

QCoro::Task<ScreenCapture> DesktopScreenGrabber::captureToFile(QString path)
{
    const auto display = DisplayConnection::connectedDisplay();
    if (display == DisplayConnection::DisplayServer::None)
        co_return outcome(ScreenCapture::Status::NoScreen);

    if (display == DisplayConnection::DisplayServer::X11) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen)
            co_return outcome(ScreenCapture::Status::NoScreen);
        const QPixmap grab = screen->grabWindow(0);
        if (grab.isNull())
            co_return outcome(ScreenCapture::Status::Failed);
        co_return co_await writePngInBackground(grab.toImage(), path);
    }

    const QDBusConnection bus = m_bus;
    const auto timeLimit = m_timeLimit;
    if (auto viaPortal = co_await captureThroughPortal(bus, path, timeLimit))
        co_return *viaPortal;
    if (auto viaCommand = co_await captureWithCommand({}, path, timeLimit))
        co_return *viaCommand;
    co_return couldNotCapture(QStringLiteral("no screenshot portal answered and none of grim, gnome-screenshot or spectacle is installed"));
}

QCoro::Task<std::optional<ScreenCapture>> DesktopScreenGrabber::captureThroughPortal(QDBusConnection bus, QString path,
                                                                                     std::chrono::milliseconds timeLimit)
{
    if (!bus.isConnected())
        co_return std::nullopt;

    // The portal answers on a request object whose path it derives from our bus name and a
    // token we choose; we listen there before asking, so that the answer cannot slip past.
    const QString token = QStringLiteral("zarnel%1").arg(QRandomGenerator::global()->generate());
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath = kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    auto request = std::make_unique<PortalRequest>();
    const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
    const QString responseSignal = QStringLiteral("Response");
    bus.connect(kPortalService, requestPath, requestInterface, responseSignal, request.get(), SLOT(handleResponse(uint, QVariantMap)));

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
                                                       QStringLiteral("Screenshot"));
    call << QString() << screenshotOptions(token);
    const QDBusPendingCall asking = bus.asyncCall(call);
    const QDBusMessage reply = co_await asking;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        bus.disconnect(kPortalService, requestPath, requestInterface, responseSignal, request.get(),
                       SLOT(handleResponse(uint, QVariantMap)));
        co_return std::nullopt;
    }
    if (!request->answer)
        co_await qCoro(request.get(), &PortalRequest::answered, timeLimit);
    bus.disconnect(kPortalService, requestPath, requestInterface, responseSignal, request.get(), SLOT(handleResponse(uint, QVariantMap)));

    if (!request->answer)
        co_return couldNotCapture(QStringLiteral("the screenshot portal did not answer in time"));
    const auto& [response, results] = *request->answer;
    // The portal's own codes: 1 when the person cancelled, 2 for any other end.
    if (response == 1)
        co_return outcome(ScreenCapture::Status::Failed, QStringLiteral("the screenshot was cancelled"));
    if (response != 0)
        co_return outcome(ScreenCapture::Status::Failed, QStringLiteral("the screenshot portal ended the request"));
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        co_return couldNotCapture(QStringLiteral("the screenshot portal returned no file"));
    co_return copyFile(uri.toLocalFile(), path);
}

QCoro::Task<std::optional<ScreenCapture>> DesktopScreenGrabber::captureWithCommand(QStringList searchPath, QString path,
                                                                                   std::chrono::milliseconds timeLimit)
{
    const auto grabbers = grabberCommands(path);
    for (const auto& [name, arguments] : grabbers) {
        const QString program = QStandardPaths::findExecutable(name, searchPath);
        if (program.isEmpty())
            continue;
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!co_await qCoro(process).waitForStarted(timeLimit))
            co_return couldNotCapture(process.errorString());
        if (process.state() != QProcess::NotRunning)
            co_await qCoro(process).waitForFinished(timeLimit);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(1000);
            co_return couldNotCapture(name + QStringLiteral(" did not finish in time"));
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            co_return outcome(ScreenCapture::Status::Failed, ProgramFailure::describe(name, process, process.readAllStandardError()));
        if (QFile(path).size() == 0)
            co_return outcome(ScreenCapture::Status::Failed, name + QStringLiteral(" wrote no image"));
        co_return outcome(ScreenCapture::Status::Saved);
    }
    co_return std::nullopt;
}

#include "DesktopScreenGrabber.moc"

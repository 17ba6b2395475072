#include "control/DesktopInstanceScreenGrabber.h"

#include "control/DesktopInstanceFinder.h"
#include "control/DisplayCommands.h"
#include "control/TransferFile.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>

using ControlProtocol::Reply;

namespace {

// The outcomes are made outside the coroutines: g++ 12 loses the copy of a QString member when
// an aggregate is brace-initialised inside a coroutine body.
ScreenCapture outcome(ScreenCapture::Status status, const QString& error = {})
{
    ScreenCapture capture;
    capture.status = status;
    capture.error = error;
    return capture;
}

ScreenCapture::Status statusOf(const std::string& word)
{
    if (word == "saved")
        return ScreenCapture::Status::Saved;
    if (word == "noScreen")
        return ScreenCapture::Status::NoScreen;
    if (word == "couldNotCapture")
        return ScreenCapture::Status::CouldNotCapture;
    return ScreenCapture::Status::Failed;
}

// Takes the desktop instance's capture and writes it to `path`, replacing what is there.
ScreenCapture deliver(const ControlFolder& folder, const Reply& reply, const QString& path)
{
    if (!reply.ok)
        return outcome(ScreenCapture::Status::CouldNotCapture,
                       QStringLiteral("the desktop instance did not answer: ") + QString::fromStdString(reply.message));
    const Json& result = reply.result;
    const ScreenCapture::Status status = statusOf(result.is_object() ? result.value("status", std::string()) : std::string());
    const QString error = QString::fromStdString(result.is_object() ? result.value("error", std::string()) : std::string());
    if (status != ScreenCapture::Status::Saved)
        return outcome(status, error);
    QString problem;
    const std::optional<QByteArray> png = TransferFile::take(folder, QString::fromStdString(result.value("file", std::string())), &problem);
    if (!png)
        return outcome(ScreenCapture::Status::CouldNotCapture, problem);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*png) != png->size())
        return outcome(ScreenCapture::Status::CouldNotCapture, file.errorString());
    return outcome(ScreenCapture::Status::Saved);
}

// Not a lambda inside the coroutine, whose captured copies g++ 12 gets wrong.
QFuture<ScreenCapture> deliverInBackground(const ControlFolder& folder, const Reply& reply, const QString& path)
{
    return QtConcurrent::run([folder, reply, path] { return deliver(folder, reply, path); });
}

} // namespace

DesktopInstanceScreenGrabber::DesktopInstanceScreenGrabber(std::shared_ptr<DesktopInstanceFinder> finder, Fallback fallback)
    : m_finder(std::move(finder))
    , m_fallback(std::move(fallback))
{
}

bool DesktopInstanceScreenGrabber::hasScreen() const
{
    return m_finder->mayFind();
}

QCoro::Task<ScreenCapture> DesktopInstanceScreenGrabber::captureToFile(QString path)
{
    const std::shared_ptr<DesktopInstanceFinder> finder = m_finder;
    QCoro::Task<std::optional<Reply>> asking =
        finder->ask(std::string(DisplayCommands::kScreenshotCommand), Json::object(), kRequestTimeoutMs);
    const std::optional<Reply> reply = co_await asking;
    if (reply) {
        QFuture<ScreenCapture> delivering = deliverInBackground(finder->folder(), *reply, path);
        co_return co_await delivering;
    }
    const std::shared_ptr<ScreenGrabber> local = m_fallback.get();
    if (!local || !local->hasScreen())
        co_return outcome(finder->displayPresent() ? ScreenCapture::Status::CouldNotCapture : ScreenCapture::Status::NoScreen,
                          finder->absenceReason());
    co_return co_await local->captureToFile(path);
}

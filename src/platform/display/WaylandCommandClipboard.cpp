#include "platform/display/WaylandCommandClipboard.h"

#include "platform/processes/ProgramFailure.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

QString findProgram(const QString& program)
{
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    return QFileInfo(program).isExecutable() ? program : QString();
}

// What wl-paste says when the clipboard holds nothing it can give: an empty clipboard, not a
// failure.
bool saysNothingIsCopied(const QString& errorLine)
{
    return errorLine == QLatin1String("Nothing is copied") || errorLine == QLatin1String("No selection")
        || errorLine == QLatin1String("No suitable type of content copied");
}

// Runs a program to its end within the time limit. Its standard error goes to a file of ours,
// not a pipe: wl-copy leaves a helper behind that serves the clipboard and keeps that stream,
// and a helper writing into a pipe we closed would die with the clipboard it holds.
std::optional<QByteArray> runProgram(const QString& program, const QStringList& arguments, const QByteArray* input,
                                     std::chrono::milliseconds timeLimit, QString* failure = nullptr)
{
    const QString path = findProgram(program);
    if (path.isEmpty()) {
        if (failure)
            *failure = program + QStringLiteral(" is not installed");
        return std::nullopt;
    }
    QTemporaryFile errorOutput(QDir::tempPath() + QStringLiteral("/zarnel_helper_error_XXXXXX"));
    if (!errorOutput.open()) {
        if (failure)
            *failure = errorOutput.errorString();
        return std::nullopt;
    }
    QProcess process;
    process.setStandardErrorFile(errorOutput.fileName());
    if (!input)
        process.setStandardInputFile(QProcess::nullDevice());
    // The helper wl-copy leaves behind must not hold a pipe of ours either.
    if (input)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (!process.waitForStarted(static_cast<int>(timeLimit.count()))) {
        if (failure)
            *failure = process.errorString();
        return std::nullopt;
    }
    if (input) {
        process.write(*input);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(static_cast<int>(timeLimit.count()))) {
        process.kill();
        process.waitForFinished(1000);
        if (failure)
            *failure = program + QStringLiteral(" did not finish in time");
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QByteArray said = errorOutput.readAll();
        if (failure && !saysNothingIsCopied(ProgramFailure::firstErrorLine(said)))
            *failure = ProgramFailure::describe(program, process, said);
        return std::nullopt;
    }
    return input ? QByteArray() : process.readAllStandardOutput();
}

} // namespace

WaylandCommandClipboard::WaylandCommandClipboard(QString copyProgram, QString pasteProgram, std::chrono::milliseconds timeLimit)
    : m_copyProgram(std::move(copyProgram))
    , m_pasteProgram(std::move(pasteProgram))
    , m_timeLimit(timeLimit)
{
}

QStringList WaylandCommandClipboard::offeredTypes(QString* failure) const
{
    const auto listing = runProgram(m_pasteProgram, {QStringLiteral("--list-types")}, nullptr, m_timeLimit, failure);
    if (!listing)
        return {};
    return QString::fromUtf8(*listing).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

std::optional<QString> WaylandCommandClipboard::readReason() const
{
    QString failure;
    offeredTypes(&failure);
    if (failure.isEmpty())
        return std::nullopt;
    return failure;
}

std::optional<QByteArray> WaylandCommandClipboard::paste(const QString& type) const
{
    return runProgram(m_pasteProgram, {QStringLiteral("--no-newline"), QStringLiteral("--type"), type}, nullptr, m_timeLimit);
}

std::optional<QString> WaylandCommandClipboard::readText() const
{
    const QStringList types = offeredTypes();
    for (const QString& type : {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain")}) {
        if (types.contains(type)) {
            if (const auto bytes = paste(type))
                return QString::fromUtf8(*bytes);
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> WaylandCommandClipboard::readImagePng() const
{
    const QStringList types = offeredTypes();
    QStringList images;
    if (types.contains(QStringLiteral("image/png")))
        images.append(QStringLiteral("image/png"));
    for (const QString& type : types) {
        if (type.startsWith(QLatin1String("image/")) && !images.contains(type))
            images.append(type);
    }
    for (const QString& type : images) {
        const auto bytes = paste(type);
        if (!bytes)
            continue;
        const QImage image = QImage::fromData(*bytes);
        if (image.isNull())
            continue;
        if (type == QLatin1String("image/png"))
            return *bytes;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (image.save(&buffer, "PNG"))
            return png;
    }
    return std::nullopt;
}

std::optional<QStringList> WaylandCommandClipboard::readFilePaths() const
{
    if (!offeredTypes().contains(kUriList))
        return std::nullopt;
    const auto bytes = paste(kUriList);
    if (!bytes)
        return std::nullopt;
    QStringList paths;
    for (const QString& line : QString::fromUtf8(*bytes).split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith(QLatin1Char('#')))
            paths.append(QUrl(entry).path());
    }
    return paths;
}

ClipboardWrite WaylandCommandClipboard::copyText(const QString& text) const
{
    const QByteArray bytes = text.toUtf8();
    QString failure;
    if (!runProgram(m_copyProgram, {QStringLiteral("--type"), QStringLiteral("text/plain;charset=utf-8")}, &bytes, m_timeLimit, &failure))
        return {false, failure};
    return {true, {}};
}

// The commands wait for their programs: a worker thread does, so that the event loop does not.
// Each future is named first: g++ 12 destroys a capturing lambda temporary inside a co_await twice.
QCoro::Task<std::optional<QString>> WaylandCommandClipboard::unavailableReason()
{
    QFuture<std::optional<QString>> work = QtConcurrent::run([this] { return readReason(); });
    co_return co_await work;
}

QCoro::Task<std::optional<QString>> WaylandCommandClipboard::text()
{
    QFuture<std::optional<QString>> work = QtConcurrent::run([this] { return readText(); });
    co_return co_await work;
}

QCoro::Task<std::optional<QByteArray>> WaylandCommandClipboard::imagePng()
{
    QFuture<std::optional<QByteArray>> work = QtConcurrent::run([this] { return readImagePng(); });
    co_return co_await work;
}

QCoro::Task<std::optional<QStringList>> WaylandCommandClipboard::filePaths()
{
    QFuture<std::optional<QStringList>> work = QtConcurrent::run([this] { return readFilePaths(); });
    co_return co_await work;
}

QCoro::Task<ClipboardWrite> WaylandCommandClipboard::setText(QString text)
{
    QFuture<ClipboardWrite> work = QtConcurrent::run([this, text] { return copyText(text); });
    co_return co_await work;
}

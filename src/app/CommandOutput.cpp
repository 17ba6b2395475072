#include "app/CommandOutput.h"

#include "app/StandardError.h"
#include "app/SubCommands.h"
#include "platform/files/FileReplacement.h"
#include "platform/session/NotificationService.h"
#include "protocol/JsonWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QCoroTask>

#include <cstdio>

namespace {

void writeOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

CommandOutput::CommandOutput(const CommandLine::Invocation& invocation, NotificationService* notifications)
    : m_invocation(invocation)
    , m_notifications(notifications)
{
}

bool CommandOutput::notify(const QString& text)
{
    if (!m_invocation.notify || !m_notifications)
        return false;
    // A short-lived command: waiting here for the one notification is simpler than making every
    // action's report asynchronous.
    const NotificationDelivery delivery = QCoro::waitFor(m_notifications->notify(QStringLiteral("Zarnel"), text, false));
    return delivery.status == NotificationDelivery::Status::Sent;
}

int CommandOutput::fail(const QString& message, int status)
{
    if (!notify(message))
        StandardError() << "zarnel: " << message.toStdString() << "\n";
    return status;
}

int CommandOutput::usageError(const QString& message)
{
    StandardError() << "zarnel: " << message.toStdString() << "\n" << CommandLine::commandUsage(m_invocation.command).toStdString();
    return SubCommands::kUsageError;
}

int CommandOutput::noProcess()
{
    return fail(QStringLiteral("No Zarnel process is running"), SubCommands::kNoProcess);
}

void CommandOutput::printLine(const QString& text)
{
    writeOut(text.toUtf8() + '\n');
}

CommandOutput::Written CommandOutput::writeFile(const ActionResult::File& file)
{
    const QString target = m_invocation.value(QStringLiteral("output"), file.suggestedName);
    if (target == QLatin1String("-")) {
        writeOut(file.contents);
        return {target, {}};
    }
    const QString path = QFileInfo(QDir::current(), target).absoluteFilePath();
    if (m_invocation.isSet(QStringLiteral("force"))) {
        // As write_file writes: a device or a FIFO is never replaced by a plain file, a file with
        // other names is written in place, and the file keeps its owner, group and mode.
        const FileResult<void> written = FileReplacement::write(FilePath(path), file.contents);
        if (!written.ok())
            return {path, QStringLiteral("cannot write %1: %2").arg(path, written.error().description)};
        return {path, {}};
    }
    // NewOnly: an existing file is never replaced, not even one that appears meanwhile.
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(path))
            return {path, QStringLiteral("%1 exists (use --force to overwrite it)").arg(path)};
        return {path, QStringLiteral("cannot write %1: %2").arg(path, out.errorString())};
    }
    if (out.write(file.contents) != file.contents.size() || !out.flush()) {
        const QString problem = QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
        out.remove();
        return {path, problem};
    }
    return {path, {}};
}

int CommandOutput::show(const ActionResult& result)
{
    if (result.failure)
        return fail(*result.failure, SubCommands::kFailed);
    Json value = result.value;
    QString written;
    bool fileOnStandardOutput = false;
    if (result.file) {
        const Written file = writeFile(*result.file);
        if (!file.problem.isEmpty())
            return fail(file.problem, SubCommands::kFailed);
        fileOnStandardOutput = file.path == QLatin1String("-");
        if (!fileOnStandardOutput) {
            written = file.path;
            value = written.toStdString();
        }
    }
    // With the file on standard output the dialog goes to standard error, out of its way.
    if (m_invocation.json) {
        const std::string line = JsonWriter::compact(Json{{"dialog", result.dialog.toStdString()}, {"value", value}});
        if (fileOnStandardOutput)
            StandardError() << line << "\n";
        else
            writeOut(QByteArray::fromStdString(line) + '\n');
        return SubCommands::kSuccess;
    }
    if (fileOnStandardOutput) {
        StandardError() << result.dialog.toStdString() << "\n";
        return SubCommands::kSuccess;
    }
    QString text = result.dialog;
    if (!written.isEmpty())
        text += QLatin1Char('\n') + written;
    if (!notify(result.notification && written.isEmpty() ? *result.notification : text))
        writeOut(text.toUtf8() + '\n');
    return SubCommands::kSuccess;
}

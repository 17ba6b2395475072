#include "platform/processes/ProgramFailure.h"

#include <QFileInfo>

namespace {

// Long enough for any real message, short enough that a program dumping binary or a stack trace
// on one line does not flood a tool result.
constexpr qsizetype kMaxLineLength = 300;

} // namespace

namespace ProgramFailure {

QString firstErrorLine(const QByteArray& errorOutput)
{
    for (const QByteArray& rawLine : errorOutput.split('\n')) {
        QString line;
        for (const QChar character : QString::fromUtf8(rawLine)) {
            if (character == QLatin1Char('\t'))
                line.append(QLatin1Char(' '));
            else if (character.category() != QChar::Other_Control)
                line.append(character);
        }
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.size() > kMaxLineLength)
            line = line.left(kMaxLineLength - 1) + QChar(0x2026);
        return line;
    }
    return {};
}

QString describe(const QString& program, const QProcess& process, const QByteArray& errorOutput)
{
    const QString line = firstErrorLine(errorOutput);
    if (!line.isEmpty()) {
        // Many programs name themselves already ("grim: ..."); the name is said once.
        const QString name = QFileInfo(program).fileName();
        if (line.startsWith(name + QLatin1Char(':')) || line.startsWith(program + QLatin1Char(':')))
            return line;
        return program + QStringLiteral(": ") + line;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return program + QStringLiteral(" was killed");
    return program + QStringLiteral(" failed with status %1").arg(process.exitCode());
}

} // namespace ProgramFailure

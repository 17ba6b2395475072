#pragma once

#include "app/CommandLine.h"
#include "control/ActionResult.h"

#include <QString>

// How a sub-command reports: the dialog on standard output (or one JSON line with --json), a
// returned file where -o says, failures on standard error, and the exit status.
class CommandOutput {
public:
    explicit CommandOutput(const CommandLine::Invocation& invocation);

    // Prints the result and writes its file; the exit status (1 when it failed).
    int show(const ActionResult& result);
    // "zarnel: <message>" on standard error.
    int fail(const QString& message, int status);
    // A bad value: which one, and the command's usage.
    int usageError(const QString& message);
    // A running process was needed and there is none.
    int noProcess();

    // One line on standard output as it is (for streams of entries).
    void printLine(const QString& text);
    bool json() const { return m_invocation.json; }

private:
    // Where the file went: a path, "-" for standard output, or why it could not be written.
    struct Written {
        QString path;
        QString problem;
    };
    Written writeFile(const ActionResult::File& file);

    const CommandLine::Invocation& m_invocation;
};

#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The command line: without arguments zarnel serves (the role an MCP client starts); with a
// sub-command it is a short-lived client of the running processes. Every sub-command and
// option is one row of the table in CommandLine.cpp; nothing else parses arguments.
namespace CommandLine {

struct Invocation {
    enum class Kind { Serve, Help, Version, SubCommand, UsageError };
    Kind kind = Kind::Serve;
    QString command;               // the sub-command
    QStringList arguments;         // its positional arguments
    QMap<QString, QString> values; // its options by long name; a flag set reads ""
    bool json = false;             // --json
    bool notify = false;           // --notify: the text as a desktop notification
    bool hidden = false;           // Serve: --hidden, the desktop instance starts in the tray only
    QString text;                  // Help: what to print; UsageError: what is wrong

    bool isSet(const QString& option) const { return values.contains(option); }
    QString value(const QString& option, const QString& fallback = QString()) const { return values.value(option, fallback); }
};

Invocation parse(const QStringList& arguments); // arguments[0] is the program

// `zarnel --help`: what zarnel is and every sub-command in one line each.
QString usage();
// `zarnel help COMMAND` and `zarnel COMMAND --help`; nothing for an unknown command.
std::optional<QString> commandHelp(const QString& command);
// The one line of usage for a command, shown after a usage error.
QString commandUsage(const QString& command);

} // namespace CommandLine

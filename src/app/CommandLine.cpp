#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <initializer_list>
#include <vector>

namespace CommandLine {

namespace {

struct Option {
    const char* names;     // long name first, then a short one: "output,o"
    const char* valueName; // nullptr for a flag
    const char* description;
};

struct Command {
    const char* name;
    const char* synopsis; // after "zarnel <name>"
    const char* title;    // one line for the overview
    const char* details;  // more text for `zarnel help <name>`; may be empty
    int minArguments;
    int maxArguments;
    std::vector<Option> options;
};

const Option kForce{"force", nullptr, "overwrite FILE when it exists"};
const Option kOutput{"output,o", "FILE",
                     "write the file here ('-' for standard output); default: the suggested name "
                     "in the current folder"};
const Option kConfirm{"confirm", nullptr, "confirm the action (without it nothing changes)"};

const std::vector<Command>& commands()
{
    static const std::vector<Command> table{
        {"server",
         "[start|stop|toggle]",
         "Toggle Server: start, stop or toggle the server of every running process",
         "The action defaults to toggle: when any process's server runs, every one is stopped; otherwise every one is "
         "started. Needs a running zarnel.",
         0,
         1,
         {}},
        {"status", "", "Get Server Status: running or stopped, connections and totals", "", 0, 0, {}},
        {"stats", "", "Get Statistics: requests, tool calls, success rate, average response time", "", 0, 0, {}},
        {"uptime", "", "Get Server Uptime: the total time the server has served", "", 0, 0, {}},
        {"connections", "", "Get Connection Count: active connections over all processes", "", 0, 0, {}},
        {"reset-stats",
         "[--confirm]",
         "Reset Statistics: clear every counter, in the store and in running processes",
         "",
         0,
         0,
         {kConfirm}},
        {"clear-log", "[--confirm]", "Clear Activity Log: empty the activity log of every running process", "", 0, 0, {kConfirm}},
        {"export-stats", "[-o FILE] [--force]", "Export Statistics: the statistics as a JSON document", "", 0, 0, {kOutput, kForce}},
        {"export-log",
         "[--format text|json] [-o FILE] [--force]",
         "Export Activity Log: the entries of every process, newest first",
         "",
         0,
         0,
         {{"format", "FORMAT", "text (the default) or json"}, kOutput, kForce}},
        {"log",
         "[--follow]",
         "The activity log of every process, merged by time, with each process's client",
         "",
         0,
         0,
         {{"follow", nullptr, "keep printing new entries until interrupted"}}},
        {"history",
         "[--since WHEN] [--until WHEN] [--tool NAME] [--client NAME] [--errors] [--limit N] | --forget [--confirm]",
         "The tool calls of every process, kept across restarts, newest first",
         "WHEN is an ISO date or time, today, yesterday, or a span back from now such as 30m, 1h or 7d; a date given to "
         "--until counts up to its end. With --json each call is one JSON object on its own line. historyDays (default "
         "30) sets how long calls are kept; 0 stops recording.",
         0,
         0,
         {{"since", "WHEN", "calls from then on"},
          {"until", "WHEN", "calls before then"},
          {"tool", "NAME", "calls of this tool"},
          {"client", "NAME", "calls of this client"},
          {"errors", nullptr, "calls that did not succeed"},
          {"limit", "N", "at most N calls (default 50)"},
          {"forget", nullptr, "delete the whole history"},
          kConfirm}},
        {"tools",
         "[--category all|fileSystem|system|appControl]",
         "List Tools: the tools, or those of one category",
         "",
         0,
         0,
         {{"category", "CATEGORY", "all (the default), fileSystem, system or appControl"}}},
        {"tool-info", "NAME", "Get Tool Info: a tool's description and parameters", "", 1, 1, {}},
        {"exec",
         "NAME [JSON]",
         "Execute Tool: run a tool in this process with JSON arguments (default {})",
         "The tool runs in this short-lived process, exactly as it does for an MCP client; no running zarnel is "
         "needed.",
         1,
         2,
         {}},
        {"dashboard", "", "Open Dashboard: ask the desktop instance to show its window", "", 0, 0, {}},
        {"settings",
         "list | get KEY | set KEY VALUE | add KEY FOLDER | remove KEY FOLDER",
         "Read and change the settings",
         "A value is checked against its setting's type (true/false, a whole number, or one of debug, info, warning, "
         "error for logLevel, folders separated by ':' for allowedFolders and readOnlyFolders, which add and remove "
         "also edit). Running processes take a change at once.",
         1,
         3,
         {}},
        {"help", "[COMMAND]", "Show the help of one command", "", 0, 1, {}},
    };
    return table;
}

const Command* find(const QString& name)
{
    for (const Command& command : commands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QStringList namesOf(const Option& option)
{
    return QString::fromLatin1(option.names).split(QLatin1Char(','));
}

QString optionLine(const QString& names, const QString& description)
{
    return QStringLiteral("  %1  %2\n").arg(names.leftJustified(22), description);
}

const char* const kIntroduction = "Zarnel is a Model Context Protocol server for this desktop. An MCP client starts it without\n"
                                  "arguments and talks JSON-RPC over its standard input and output, one message per line.\n"
                                  "zarnel server start|stop holds for every zarnel of this user, later ones too; until it is\n"
                                  "used, the server starts at launch when autoStartServer is true (zarnel settings set\n"
                                  "autoStartServer true). A client's zarnel exits when its standard input ends.\n"
                                  "\n"
                                  "On a desktop, started by the user (from a terminal or the applications menu), zarnel is the\n"
                                  "desktop application: a tray item and the dashboard window over every running zarnel. One\n"
                                  "runs per user; starting it again shows its window. A client's zarnel starts it in the tray\n"
                                  "when none runs. A display, session bus or runtime folder missing from its environment is\n"
                                  "looked for in this user's desktop session (/run/user/<uid>); without a display it runs\n"
                                  "headless.\n";

// QCommandLineParser reads "-1" as the option "1"; for us a negative number is always a value.
bool isNegativeNumber(const QString& argument)
{
    static const QRegularExpression number(QStringLiteral("^-(\\d+(\\.\\d*)?|\\.\\d+)([eE][-+]?\\d+)?$"));
    return number.match(argument).hasMatch();
}

// Negative numbers stand in the parser's arguments as texts it cannot take for options.
class NegativeNumbers {
public:
    // Replaces them in `arguments` (after the program name, up to a "--").
    void hide(QStringList& arguments)
    {
        for (qsizetype i = 1; i < arguments.size() && arguments.at(i) != QLatin1String("--"); ++i) {
            if (!isNegativeNumber(arguments.at(i)))
                continue;
            m_hidden.append(arguments.at(i));
            arguments[i] = kStandIn + QString::number(m_hidden.size() - 1);
        }
    }
    QString restore(const QString& argument) const
    {
        if (!argument.startsWith(kStandIn))
            return argument;
        bool ok = false;
        const qsizetype index = argument.mid(kStandIn.size()).toLongLong(&ok);
        return ok && index >= 0 && index < m_hidden.size() ? m_hidden.at(index) : argument;
    }

private:
    inline static const QString kStandIn = QStringLiteral("\uE000negative-");
    QStringList m_hidden;
};

// "unknown option '--frobnicate'": the option as it was typed, which the parser's own text
// does not give ("Unknown option 'frobnicate'.").
QString unknownOption(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QString name = parser.unknownOptionNames().value(0);
    for (qsizetype i = 1; i < arguments.size() && arguments.at(i) != QLatin1String("--"); ++i) {
        const QString& typed = arguments.at(i);
        QString stripped = typed.section(QLatin1Char('='), 0, 0);
        while (stripped.startsWith(QLatin1Char('-')))
            stripped.remove(0, 1);
        if (typed.startsWith(QLatin1Char('-')) && stripped == name)
            return QStringLiteral("unknown option '%1'").arg(typed.section(QLatin1Char('='), 0, 0));
    }
    return parser.errorText();
}

Invocation usageError(const QString& command, const QString& text)
{
    Invocation invocation;
    invocation.kind = Invocation::Kind::UsageError;
    invocation.command = command;
    invocation.text = text;
    return invocation;
}

Invocation help(const QString& text)
{
    Invocation invocation;
    invocation.kind = Invocation::Kind::Help;
    invocation.text = text;
    return invocation;
}

} // namespace

QString usage()
{
    QString text = QStringLiteral("Usage: zarnel [--hidden | --help | --version]\n"
                                  "       zarnel COMMAND [OPTIONS] [--json] [--notify]\n\n");
    text += QLatin1String(kIntroduction);
    text += QStringLiteral("\nCommands (they act on every running zarnel of this user):\n");
    for (const Command& command : commands())
        text += optionLine(QLatin1String(command.name), QString::fromUtf8(command.title));
    text += QStringLiteral("\nOptions:\n");
    text += optionLine(QStringLiteral("--hidden"), QStringLiteral("start the desktop application in the tray, window hidden"));
    text += optionLine(QStringLiteral("--json"), QStringLiteral("print {\"dialog\": ..., \"value\": ...} on one line"));
    text += optionLine(QStringLiteral("--notify"), QStringLiteral("show the text as a desktop notification (printed without one)"));
    text += optionLine(QStringLiteral("--help"), QStringLiteral("show this text, or a command's with zarnel help COMMAND"));
    text += optionLine(QStringLiteral("--version"), QStringLiteral("show the version"));
    text += QStringLiteral("\nExit status: 0 done; 1 the action failed; 2 a usage error; 3 no zarnel is running.\n");
    return text;
}

QString commandUsage(const QString& name)
{
    const Command* command = find(name);
    if (!command)
        return QStringLiteral("Usage: zarnel COMMAND [OPTIONS] (zarnel --help lists the commands)\n");
    QString synopsis = QString::fromLatin1(command->synopsis);
    return QStringLiteral("Usage: zarnel %1%2%3 [--json] [--notify]\n")
        .arg(QLatin1String(command->name), synopsis.isEmpty() ? QString() : QStringLiteral(" "), synopsis);
}

std::optional<QString> commandHelp(const QString& name)
{
    const Command* command = find(name);
    if (!command)
        return std::nullopt;
    QString text = commandUsage(name) + QLatin1Char('\n') + QString::fromUtf8(command->title) + QLatin1Char('\n');
    if (*command->details)
        text += QLatin1Char('\n') + QString::fromUtf8(command->details) + QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n");
    for (const Option& option : command->options) {
        QStringList forms;
        for (const QString& each : namesOf(option))
            forms.append((each.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + each);
        QString names = forms.join(QStringLiteral(", "));
        if (option.valueName)
            names += QLatin1Char(' ') + QLatin1String(option.valueName);
        text += optionLine(names, QString::fromUtf8(option.description));
    }
    text += optionLine(QStringLiteral("--json"), QStringLiteral("print {\"dialog\": ..., \"value\": ...} on one line"));
    text += optionLine(QStringLiteral("--notify"), QStringLiteral("show the text as a desktop notification (printed without one)"));
    return text;
}

Invocation parse(const QStringList& arguments)
{
    if (arguments.size() <= 1)
        return Invocation{};
    const QString first = arguments.at(1);
    if (arguments.size() == 2 && (first == QLatin1String("--help") || first == QLatin1String("-h")))
        return help(usage());
    if (arguments.size() == 2 && first == QLatin1String("--hidden")) {
        Invocation invocation;
        invocation.hidden = true;
        return invocation;
    }
    if (arguments.size() == 2 && (first == QLatin1String("--version") || first == QLatin1String("-v"))) {
        Invocation invocation;
        invocation.kind = Invocation::Kind::Version;
        return invocation;
    }
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("--version")
        || first == QLatin1String("-v") || first == QLatin1String("--hidden"))
        return usageError(QString(), QStringLiteral("unexpected argument '%1'").arg(arguments.at(2)));
    const Command* command = find(first);
    if (!command)
        return usageError(QString(),
                          first.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option '%1'").arg(first)
                                                             : QStringLiteral("unknown command '%1'").arg(first));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QList<QCommandLineOption> options;
    for (const Option& option : command->options) {
        options.append(option.valueName ? QCommandLineOption(namesOf(option), QString(), QLatin1String(option.valueName))
                                        : QCommandLineOption(namesOf(option)));
    }
    options.append(QCommandLineOption(QStringList{QStringLiteral("json")}));
    options.append(QCommandLineOption(QStringList{QStringLiteral("notify")}));
    options.append(QCommandLineOption(QStringList{QStringLiteral("help"), QStringLiteral("h")}));
    parser.addOptions(options);
    QStringList rest = arguments;
    rest.removeAt(1); // the command word; the parser skips the program name itself
    NegativeNumbers negatives;
    QStringList parsed = rest;
    negatives.hide(parsed);
    if (!parser.parse(parsed))
        return usageError(first, parser.unknownOptionNames().isEmpty() ? parser.errorText() : unknownOption(parser, rest));
    if (parser.isSet(QStringLiteral("help")))
        return help(*commandHelp(first));

    Invocation invocation;
    invocation.kind = Invocation::Kind::SubCommand;
    invocation.command = first;
    for (const QString& argument : parser.positionalArguments())
        invocation.arguments.append(negatives.restore(argument));
    invocation.json = parser.isSet(QStringLiteral("json"));
    invocation.notify = parser.isSet(QStringLiteral("notify"));
    for (const Option& option : command->options) {
        const QString longName = namesOf(option).first();
        if (!parser.isSet(longName))
            continue;
        invocation.values.insert(longName, option.valueName ? negatives.restore(parser.value(longName)) : QString());
    }
    const auto count = invocation.arguments.size();
    if (count < command->minArguments)
        return usageError(first, QStringLiteral("'%1' needs more arguments").arg(first));
    if (count > command->maxArguments)
        return usageError(first, QStringLiteral("unexpected argument '%1'").arg(invocation.arguments.at(command->maxArguments)));
    if (first == QLatin1String("help")) {
        if (invocation.arguments.isEmpty())
            return help(usage());
        const auto text = commandHelp(invocation.arguments.first());
        if (!text)
            return usageError(QString(), QStringLiteral("unknown command '%1'").arg(invocation.arguments.first()));
        return help(*text);
    }
    return invocation;
}

} // namespace CommandLine

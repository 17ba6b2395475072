#include "app/Application.h"

#include "Version.h"
#include "app/CommandLine.h"
#include "app/Launch.h"
#include "app/StandardError.h"
#include "app/SubCommands.h"

#include <QTextStream>

namespace {

constexpr int kUsageError = 2;

void printToStandardOutput(const QString& text)
{
    // Only reached for help and version texts, before any protocol traffic exists.
    QTextStream(stdout) << text;
}

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

namespace Application {

int run(int argc, char** argv)
{
    const CommandLine::Invocation invocation = CommandLine::parse(argumentList(argc, argv));
    switch (invocation.kind) {
    case CommandLine::Invocation::Kind::Help: printToStandardOutput(invocation.text); return 0;
    case CommandLine::Invocation::Kind::Version: printToStandardOutput(QStringLiteral("Zarnel " ZARNEL_VERSION "\n")); return 0;
    case CommandLine::Invocation::Kind::UsageError:
        StandardError() << "zarnel: " << invocation.text.toStdString() << "\n"
                        << CommandLine::commandUsage(invocation.command).toStdString();
        return kUsageError;
    case CommandLine::Invocation::Kind::SubCommand: return SubCommands::run(argc, argv, invocation);
    case CommandLine::Invocation::Kind::Serve: break;
    }
    return Launch::serve(argc, argv, invocation.hidden);
}

} // namespace Application

#pragma once

#include "app/CommandLine.h"

#include <QCoroTask>

class CommandOutput;

// The sub-commands that do their work in this process: the tool actions run this process's own
// registry, and the settings are stored here before running processes are told.
namespace LocalCommands {

QCoro::Task<int> tools(const CommandLine::Invocation& invocation, CommandOutput& out);
QCoro::Task<int> toolInfo(const CommandLine::Invocation& invocation, CommandOutput& out);
QCoro::Task<int> exec(const CommandLine::Invocation& invocation, CommandOutput& out);
QCoro::Task<int> settings(const CommandLine::Invocation& invocation, CommandOutput& out);

} // namespace LocalCommands

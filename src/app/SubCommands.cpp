#include "app/SubCommands.h"

#include <iostream>

namespace SubCommands {

int run(int, char**, const CommandLine::Invocation& invocation)
{
    std::cerr << "zarnel: " << invocation.command.toStdString() << " is not available yet\n";
    return kFailed;
}

} // namespace SubCommands

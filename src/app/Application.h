#pragma once

// The program: reads the command line and hands over to a sub-command or to a launch that
// serves (Launch, which picks the role).
namespace Application {

int run(int argc, char** argv);

} // namespace Application

#pragma once

// The program: reads the command line, picks the headless or the desktop mode, wires the
// managers together and runs the event loop.
namespace Application {

int run(int argc, char** argv);

} // namespace Application

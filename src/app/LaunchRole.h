#pragma once

#include "platform/processes/StandardInput.h"

// Who a launch is, decided from whether a desktop session exists and what standard input is.
enum class LaunchRole {
    Headless,       // no display: serves standard input, no windows
    ClientLaunched, // an MCP client's child (a pipe or a socket): serves it as a headless launch
                    // does, and makes sure a desktop instance runs
    User,           // the user's launch: becomes the desktop instance, or asks the running one
                    // to show its window
};

LaunchRole chooseLaunchRole(bool displaySession, StandardInputKind input);

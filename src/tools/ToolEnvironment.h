#pragma once

#include "platform/PlatformServices.h"

class SettingsManager;

// What the built-in tools need from the rest of the program. Everything is required: the
// composition root fills it, tests fill it with fakes, and BuiltInTools refuses an incomplete
// one. Whoever fills it keeps the settings and the services alive as long as the tools.
struct ToolEnvironment {
    SettingsManager* settings = nullptr;
    PlatformServices services;
};

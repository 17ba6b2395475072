#pragma once

#include "platform/PlatformServices.h"

#include <memory>

class FolderConfinement;

class SettingsManager;

// What the built-in tools need from the rest of the program. Everything is required: the
// composition root fills it, tests fill it with fakes, and BuiltInTools refuses an incomplete
// one. Whoever fills it keeps the settings and the services alive as long as the tools.
struct ToolEnvironment {
    SettingsManager* settings = nullptr;
    PlatformServices services;
    // Where the assistant may work; nothing confines nothing (the file manager among the
    // services is expected to be confined by the same rules).
    std::shared_ptr<const FolderConfinement> confinement;
};

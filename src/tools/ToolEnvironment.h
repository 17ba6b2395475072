#pragma once

class SettingsManager;

// What the built-in tools need from the rest of the program, handed to the registry when it
// creates them. Tests build their own with fakes.
struct ToolEnvironment {
    SettingsManager* settings = nullptr;
};

#pragma once

class FileManager;
class SettingsManager;
class Workspace;

// What the built-in tools need from the rest of the program, handed to the registry when it
// creates them. Tests build their own with fakes.
struct ToolEnvironment {
    SettingsManager* settings = nullptr;
    // The tools that list, launch and quit applications are left out without one.
    const Workspace* workspace = nullptr;
    // The file system; when absent the tools use the machine's own.
    FileManager* files = nullptr;
};

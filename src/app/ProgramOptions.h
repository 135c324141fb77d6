#pragma once
// The program's command line: the window's demo options, the headless
// commands with their connection options, and --help.

#include "Headless.h"

#include <optional>

struct TProgramOptions {
    bool Demo = false;
    bool DemoReset = false;
    QString TracePath; // --trace: the line trace goes there
    // Set when the command line names a headless command.
    std::optional<THeadlessRequest> Headless;
};

// Parsed before the application object exists, so that --help and a wrong
// command line need no display. Returns an exit code when the program should
// end at once (help printed, or the command line refused on standard error).
std::optional<int> ParseProgramOptions(int argc, char** argv, TProgramOptions& options);

#pragma once
// The program's command line: the window's demo options, the headless
// commands with their connection options, and --help.

#include "Headless.h"
#include "window/WindowRun.h"

#include <optional>

// The window's options (--demo, --demo-reset, --trace), which the commands
// take too.
struct TProgramOptions : TWindowOptions {
    // Set when the command line names a headless command.
    std::optional<THeadlessRequest> Headless;
};

// Parsed before the application object exists, so that --help and a wrong
// command line need no display. Returns an exit code when the program should
// end at once (help printed, or the command line refused on standard error).
std::optional<int> ParseProgramOptions(int argc, char** argv, TProgramOptions& options);

#pragma once
// The program with its window: the emulated unit when the demo is asked for,
// the line trace when one is asked for, and the event loop until the window
// closes. The window's --trace lives here, where tests can run it as the
// program does.

#include "ProgramOptions.h"

class QApplication;

// The exit code of the program.
int RunWindow(const TProgramOptions& options, const QString& demoFolder, QApplication& app);

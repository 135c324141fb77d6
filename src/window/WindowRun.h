#pragma once
// The program with its window: the emulated unit when the demo is asked for,
// the line trace when one is asked for, and the event loop until the window
// closes. The window's --trace lives here, where tests can run it as the
// program does.

#include <QString>

class QApplication;

// What the command line asks of the window.
struct TWindowOptions {
    bool Demo = false;
    bool DemoReset = false;
    QString TracePath; // --trace: the line trace goes there
};

// The exit code of the program.
int RunWindow(const TWindowOptions& options, const QString& demoFolder, QApplication& app);

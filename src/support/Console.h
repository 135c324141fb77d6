#pragma once
// The program's standard streams and the console behind them: whether one is
// a terminal, writing text to it so that every character arrives, and reading
// a line from it without showing what is typed. The only place the program's
// own text meets standard output and standard error.
//
// Text goes to a Windows console as UTF-16 (WriteConsoleW), exact whatever
// the console's code page; to a file, a pipe or a POSIX terminal as UTF-8.

#include <QString>

enum class TConsoleStream { Input, Output, Error };

// True when the stream is a terminal (not a file or a pipe).
bool IsTerminal(TConsoleStream stream);

// Writes text to standard output or standard error and flushes it. A stream
// that is not there (a program without a console, a closed descriptor) takes
// nothing, quietly.
void WriteText(TConsoleStream stream, const QString& text);

// The next line of standard input, without its line end. When standard input
// is a terminal, prompt goes to standard error first, the typing is not
// echoed, and a line end follows it on standard error.
QString ReadLineUnechoed(const QString& prompt);

#pragma once
// The command line's terminal: whether a standard stream is one, and reading
// a line from it without showing what is typed. The system's side of the
// command line's input and output; the rest is written with <cstdio>.

#include <QString>

enum class TConsoleStream { Input, Error };

// True when the stream is a terminal (not a file or a pipe).
bool IsTerminal(TConsoleStream stream);

// The next line of standard input, without its line end. When standard input
// is a terminal, prompt goes to standard error first, the typing is not
// echoed, and a line end follows it on standard error.
QString ReadLineUnechoed(const QString& prompt);

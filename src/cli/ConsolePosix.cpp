// The POSIX half of Console.h.
#include "Console.h"

#include <QTextStream>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

bool IsTerminal(TConsoleStream stream)
{
    return ::isatty(stream == TConsoleStream::Input ? STDIN_FILENO : STDERR_FILENO);
}

QString ReadLineUnechoed(const QString& prompt)
{
    termios saved{};
    const bool terminal = IsTerminal(TConsoleStream::Input) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QTextStream in(stdin);
    const QString line = in.readLine();
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    return line;
}

// The Win32 half of Console.h: the console's input mode without echo.
#include "Console.h"

#include <QTextStream>

#include <cstdio>
#include <io.h>
#include <windows.h>

bool IsTerminal(TConsoleStream stream)
{
    // _isatty is also true for NUL; a console handle answers GetConsoleMode.
    const HANDLE handle = ::GetStdHandle(stream == TConsoleStream::Input ? STD_INPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

QString ReadLineUnechoed(const QString& prompt)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool terminal = IsTerminal(TConsoleStream::Input) && ::GetConsoleMode(input, &saved);
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        ::SetConsoleMode(input, saved & ~DWORD(ENABLE_ECHO_INPUT));
    }
    QTextStream in(stdin);
    QString line = in.readLine();
    if (terminal) {
        ::SetConsoleMode(input, saved);
        std::fputs("\n", stderr);
    }
    // The console's line end is CR LF; a redirected file may carry it too.
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

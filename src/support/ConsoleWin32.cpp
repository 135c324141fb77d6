// The Win32 half of Console.h. A console is written with WriteConsoleW: the
// C runtime would convert the text to the console's code page (often 437 or
// 866, whatever the program's own), and Cyrillic would come out as '?'. A file
// or a pipe gets UTF-8 through the C runtime, whose text mode writes CR LF.
#include "Console.h"

#include <QTextStream>

#include <cstdio>
#include <windows.h>

namespace {

DWORD StandardHandle(TConsoleStream stream)
{
    switch (stream) {
    case TConsoleStream::Input:
        return STD_INPUT_HANDLE;
    case TConsoleStream::Output:
        return STD_OUTPUT_HANDLE;
    case TConsoleStream::Error:
        break;
    }
    return STD_ERROR_HANDLE;
}

// The console behind the stream, or null. _isatty is also true for NUL; only
// a console handle answers GetConsoleMode.
HANDLE ConsoleOf(TConsoleStream stream)
{
    const HANDLE handle = ::GetStdHandle(StandardHandle(stream));
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}

} // namespace

bool IsTerminal(TConsoleStream stream)
{
    return ConsoleOf(stream) != nullptr;
}

void WriteText(TConsoleStream stream, const QString& text)
{
    std::FILE* file = stream == TConsoleStream::Output ? stdout : stderr;
    const HANDLE console = ConsoleOf(stream);
    if (!console) {
        // Without a console (parlotelw.exe) the C runtime's stream has no
        // handle and its writes fail at once: nothing waits, nothing breaks.
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
        std::fflush(file);
        return;
    }
    // What the C runtime still holds goes first, so that the order stays.
    std::fflush(file);
    const auto* data = reinterpret_cast<const wchar_t*>(text.utf16());
    DWORD left = DWORD(text.size());
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteConsoleW(console, data, left, &written, nullptr) || written == 0)
            return; // the console went away: nobody is left to read it
        data += written;
        left -= written;
    }
}

QString ReadLineUnechoed(const QString& prompt)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool terminal = IsTerminal(TConsoleStream::Input) && ::GetConsoleMode(input, &saved);
    if (terminal) {
        WriteText(TConsoleStream::Error, prompt);
        ::SetConsoleMode(input, saved & ~DWORD(ENABLE_ECHO_INPUT));
    }
    QTextStream in(stdin);
    QString line = in.readLine();
    if (terminal) {
        ::SetConsoleMode(input, saved);
        WriteText(TConsoleStream::Error, QStringLiteral("\n"));
    }
    // The console's line end is CR LF; a redirected file may carry it too.
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

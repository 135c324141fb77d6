// The POSIX half of Console.h: the terminal's echo through termios; text as
// UTF-8, the terminal's own encoding here.
#include "Console.h"

#include <QTextStream>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

int Descriptor(TConsoleStream stream)
{
    switch (stream) {
    case TConsoleStream::Input:
        return STDIN_FILENO;
    case TConsoleStream::Output:
        return STDOUT_FILENO;
    case TConsoleStream::Error:
        break;
    }
    return STDERR_FILENO;
}

} // namespace

bool IsTerminal(TConsoleStream stream)
{
    return ::isatty(Descriptor(stream));
}

void WriteText(TConsoleStream stream, const QString& text)
{
    std::FILE* file = stream == TConsoleStream::Output ? stdout : stderr;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
}

QString ReadLineUnechoed(const QString& prompt)
{
    termios saved{};
    const bool terminal = IsTerminal(TConsoleStream::Input) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        WriteText(TConsoleStream::Error, prompt);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QTextStream in(stdin);
    const QString line = in.readLine();
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        WriteText(TConsoleStream::Error, QStringLiteral("\n"));
    }
    return line;
}

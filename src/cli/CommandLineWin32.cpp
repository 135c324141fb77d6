// The Windows half of CommandLine.h: CommandLineToArgvW splits the command
// line as the C runtime does.
#include "CommandLine.h"

#include <windows.h>
#include <shellapi.h>

QStringList ProgramArguments(int, char**)
{
    QStringList arguments;
    int count = 0;
    if (wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments << QString::fromWCharArray(words[i]);
        ::LocalFree(words);
    }
    return arguments;
}

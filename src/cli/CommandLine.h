#pragma once
// The program's arguments as text. POSIX passes bytes in the locale's
// encoding (CommandLinePosix.cpp); Windows passes argv in the ANSI code page,
// which loses every character it lacks (a Cyrillic file name on a Western
// system, for one), so there they are taken from the UTF-16 command line
// (CommandLineWin32.cpp).

#include <QStringList>

QStringList ProgramArguments(int argc, char** argv);

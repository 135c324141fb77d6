#pragma once
// Windows: the system's words for a GetLastError code (FormatMessage), without
// the line end; "error N" when the system has none. The Win32 files share it
// (SystemErrorTextWin32.cpp); Linux's files use strerror.

#include <QString>

QString SystemErrorText(unsigned long code);

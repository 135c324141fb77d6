#pragma once
// The line steps and value formats the settings jobs share. Each step is one
// primitive of the line exchange with its own time limit and says only whether
// it succeeded; the job picks the error state. Everything read from the line is
// untrusted: the parsers accept exactly what they describe and nothing else.

#include "session/UnitDialog.h"

#include <QByteArray>
#include <QString>

namespace Dialogue {

// Worker thread: send a command line and wait for its whole echo.
bool Command(const QByteArray& line, int timeoutMs);
// Worker thread: wait for a prompt (or any text) from the unit.
bool Prompt(const QByteArray& text, int timeoutMs);
// Worker thread: read everything up to and including the terminator.
bool ReadThrough(const QByteArray& terminator, QByteArray& text, int timeoutMs);
// Worker thread: read one reply line; text is what came before its CR.
bool ReadLine(QByteArray& text, int timeoutMs);

// The unit's number format and code page, as the line exchange reads them.
using Unit::FromUnit;
using Unit::ParseDecimal;
using Unit::ToUnit;

// Seconds as minutes and seconds, "%.2d:%.2d" (725 → "12:05").
QString MinutesSeconds(int seconds);

} // namespace Dialogue

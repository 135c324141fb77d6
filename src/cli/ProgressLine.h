#pragma once
// How far a long command without the window has got, on standard error: one
// line that every step rewrites in place, as long as standard error is a
// terminal; nothing into a file or a pipe, which get only what the user must
// read. A message printed meanwhile first ends the line, so that it starts on
// a line of its own.

#include "support/ReadProgress.h"

// "parlotel: " and text on the progress line.
void ShowProgress(const QString& text);
// "parlotel: чтение 2/7: Приветствия" on the progress line, unless the run
// has been interrupted: then false, so that the reads stop.
bool ShowReadProgress(int step, int steps, const QString& part);
// Ends the progress line with a line end; nothing when none is shown.
void EndProgressLine();

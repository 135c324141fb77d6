#pragma once
// The commands without the window beyond the export: single settings by their
// code (--get, --set), the clock (--clock, --clock-set), the extension list
// (--list), the mailboxes (--mailboxes), and the backup and restore of a whole
// unit (--backup, --restore). Each runs the catalogue's own jobs.

#include "Headless.h"

#include <vector>

std::vector<THeadlessCommand> CliCommands();
// --restore with --dry-run: prints the differences and writes nothing. Not
// listed among the commands; the command line picks it for --dry-run.
const THeadlessCommand& RestoreDryRunCommand();

// Standard output, one line (UTF-8).
void PrintLine(const QString& text);

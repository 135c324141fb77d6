#pragma once
// Voice recordings moved from the command line: "--upload TARGET FILE" and
// "--download TARGET FILE", TARGET being "menu:N" (menus 0 to 19, greetings
// 20 to 22) or "message:N" (service messages 60 to 73). The pages' jobs and
// the transfer window do the work, without a person.

#include "Headless.h"

#include <QStringList>

class TForm1;

// Before anything is sent to the unit: the target is one the unit has and
// the file can be sent or, for a download, written (see OutputFile.h). False
// with error in plain English words.
bool CheckUploadArguments(TForm1& window, const QStringList& arguments, QString& error);
bool CheckDownloadArguments(TForm1& window, const QStringList& arguments, QString& error);

// With the window connected; arguments are the target and the file. Done
// only when the transfer ended well on this side (for a download: the file is
// in place); the unit's own report and what came of the transfer come through
// the message sink. A download that arrived whole and took its place although
// an error followed it (or a cancel) is SavedDespiteError. Failed with error,
// empty when a message has already said why.
TCommandOutcome UploadCommand(TForm1& window, const QStringList& arguments, QString& error);
TCommandOutcome DownloadCommand(TForm1& window, const QStringList& arguments, QString& error);

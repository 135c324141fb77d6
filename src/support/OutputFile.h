#pragma once
// Every file the program writes where the user said: an export, a backup, a
// received recording, the line trace. What the target is decides how:
// - a regular file, or none yet: replaced whole or not at all. The bytes go to
//   a temporary file beside it, which is renamed over it once all of them are
//   written and synced; a failure leaves the earlier file as it was. A symbolic
//   link leads to the file that is replaced.
// - a character device or a pipe ("-" is standard output): written in place,
//   never renamed over (a device node replaced by a file is a broken system);
//   a failed write is reported.
// - anything else (a folder, a socket, a block device): refused.
// OutputProblem tells all of this before the unit is asked anything.

#include <QByteArray>
#include <QString>

#include <optional>

// Who may read a file the program creates.
enum class TFileAccess {
    Owner,   // 0600: exports and backups hold the unit's passwords
    Default, // as the umask allows
};

// What keeps path from taking a file, in plain English words ("the folder
// /x does not exist", "it is a folder"); nothing when it can. For a regular
// file or a new one: its folder exists and can be written; for a device or a
// pipe: it can be opened for writing.
std::optional<QString> OutputProblem(const QString& path);
// The command line's refusal (exit code 3, nothing sent): "cannot write
// PATH: reason". False with error when path cannot take a file.
bool CheckOutputFile(const QString& path, QString& error);

// Writes bytes to path as the header says. False with reason (the system's
// words) when they could not all be written.
bool WriteOutputFile(const QString& path, const QByteArray& bytes, TFileAccess access, QString& reason);
// The finished file's contents to path, the same way: moved there when path
// is a regular file (or none) on the same filesystem, else copied (access
// Default). False with reason (the system's words); finished stays then.
bool PlaceOutputFile(const QString& finished, const QString& path, QString& reason);

// The path a file opened by name must use: "-" is standard output.
QString OutputPath(const QString& path);

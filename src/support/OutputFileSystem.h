#pragma once
// The system's half of OutputFile (OutputFilePosix.cpp, OutputFileWin32.cpp): what a path is,
// whether it may be written, and the writes themselves. OutputFile.cpp decides
// from these what to do and what to tell; the texts here are the system's.

#include "OutputFile.h"

#include <QString>

class QIODevice;

// The name that stands for standard output.
inline const QString StandardOutput = QStringLiteral("-");

enum class TOutputKind { New, Regular, Stream, Folder, Socket, Other };

// What a path is now, following symbolic links.
struct TOutputTarget {
    TOutputKind Kind = TOutputKind::New;
    QString Path;   // for a regular file its real path (the file a rename replaces), else the path itself
    QString Error;  // why it could not be looked at, when not simply missing
};

TOutputTarget LookAtOutput(const QString& path);
// Why the calling user may not write path (a folder: create files in it);
// nothing when they may.
std::optional<QString> WriteRefusal(const QString& path, bool folder);
// Writes all of from into a device or a pipe that is there, or into standard
// output (StandardOutput).
bool WriteInPlace(const QString& path, QIODevice& from, QString& reason);
// The contents into a new file beside target, synced, then renamed over it in
// one step; a failure leaves target as it was.
bool ReplaceWhole(const QString& target, QIODevice& from, TFileAccess access, QString& reason);

enum class TMoveResult { Moved, OtherFilesystem, Failed };
// Renames finished over target in one step.
TMoveResult MoveOver(const QString& finished, const QString& target, QString& reason);

#pragma once
// File operations on raw byte names. A voice file's name arrives in
// Windows-1251 and is kept as it came; such names need not survive a round
// trip through QString. On POSIX a raw path is the file system's own bytes
// (RawFilesPosix.cpp); Windows names files in Unicode, so there a raw path is
// the Windows-1251 form of the name, converted at each call (RawFilesWin32.cpp).

#include <QByteArray>
#include <QList>
#include <QString>

// Bytes of a path as the file system takes them.
QByteArray RawPath(const QString& path);
// The path as Qt names it; a POSIX name that is no text in the system's
// encoding does not survive this.
QString FromRawPath(const QByteArray& path);
// Names of the regular files in folder (no links, no folders).
QList<QByteArray> RegularFiles(const QByteArray& folder);
// The size of a file; -1 when there is none.
qint64 RawFileSize(const QByteArray& path);
// Creates or replaces path with data.
bool WriteRawFile(const QByteArray& path, const QByteArray& data);
bool MakeRawFolder(const QByteArray& path);
bool MoveRaw(const QByteArray& from, const QByteArray& to);
// Puts the folder fresh where place is and place, if there is one, where fresh
// was; in one step where the system can.
bool SwapRawFolders(const QByteArray& fresh, const QByteArray& place);
// A new folder named after pattern, its last six characters "XXXXXX" made
// unique; empty when it could not be created.
QByteArray MakeScratchFolder(const QByteArray& pattern);
// Removes path and, when it is a folder, everything in it.
void RemoveTree(const QByteArray& path);
// The system's words for the last failure of these calls.
QString RawFilesError();

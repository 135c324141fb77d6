#pragma once
// File operations on raw byte names. A voice file's name arrives in
// Windows-1251 and is kept as it came; such names need not survive a round
// trip through QString, so these helpers stay with POSIX calls.

#include <QByteArray>
#include <QList>
#include <QString>

// Bytes of a path as the file system takes them.
QByteArray RawPath(const QString& path);
// Names of the regular files in folder (no links, no folders).
QList<QByteArray> RegularFiles(const QByteArray& folder);
// Removes path and, when it is a folder, everything in it.
void RemoveTree(const QByteArray& path);

#pragma once
// The computer's side of a voice-file transfer: whether a file can be sent at
// all (checked before the unit is asked to receive it), and how a received
// file takes the place the user chose without ever leaving a partial file
// there.

#include <QString>

// True when path is a regular file this program can read and it holds
// something: an empty file would replace the unit's recording with nothing.
// Otherwise error says in the window's words what is wrong with it ("Файл
// пуст: …"). The one check of every upload, before the unit hears of it.
bool CheckFileToSend(const QString& path, QString& error);
// The same check for the command line, which refuses in English (exit code 3,
// nothing sent): "file is empty: …".
bool CheckFileToSendArgument(const QString& path, QString& error);

// Moves the completely received file to target (see support/OutputFile.h): a
// regular file there is replaced in one step, a device or a pipe ("-":
// standard output) is written in place. True when target holds the received
// file. Otherwise a regular file there is as it was, and error holds the
// window's words with the system's reason.
bool PlaceReceivedFile(const QString& received, const QString& target, QString& error);

#pragma once
// The computer's side of a voice-file transfer: whether a file can be sent at
// all (checked before the unit is asked to receive it), and how a received
// file takes the place the user chose without ever leaving a partial file
// there.

#include <QString>

// Why a file cannot be sent; None when it can.
enum class TSendRefusal { None, Missing, Folder, NotRegular, Unreadable, Empty };

// The one check of every upload, before the unit hears of it: path must be a
// regular file this program can read, and hold something (an empty file would
// replace the unit's recording with nothing). reason: the system's words when
// it cannot be opened.
TSendRefusal FileToSendRefusal(const QString& path, QString& reason);
// The same check; error says what is wrong in the window's words.
bool CheckFileToSend(const QString& path, QString& error);

// Moves the completely received file to target, replacing a file there in one
// step: a rename on the same filesystem, else a copy to a temporary name beside
// target that is then renamed over it. True when target holds the received
// file. Otherwise target is as it was, and error holds plain words with the
// system's reason.
bool PlaceReceivedFile(const QString& received, const QString& target, QString& error);

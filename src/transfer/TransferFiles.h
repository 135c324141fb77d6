#pragma once
// The computer's side of a voice-file transfer: whether a file can be sent at
// all (checked before the unit is asked to receive it), and how a received
// file takes the place the user chose without ever leaving a partial file
// there.

#include <QString>

// True when path is a regular file this program can read and it holds
// something: an empty file would replace the unit's recording with nothing.
// Otherwise error says in plain words what is wrong with it. The one check of
// every upload, before the unit hears of it.
bool CheckFileToSend(const QString& path, QString& error);

// Moves the completely received file to target, replacing a file there in one
// step: a rename on the same filesystem, else a copy to a temporary name beside
// target that is then renamed over it. True when target holds the received
// file. Otherwise target is as it was, and error holds plain words with the
// system's reason.
bool PlaceReceivedFile(const QString& received, const QString& target, QString& error);

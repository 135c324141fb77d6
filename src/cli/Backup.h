#pragma once
// Backup and restore of a whole unit from the command line. --backup FILE
// reads everything the login's level can read into a JSON file (written as
// OutputFile.h says, for its owner only: it holds the passwords), telling on
// a terminal which section it reads. --restore FILE compares the backup with
// the unit and writes what differs, in an order the unit accepts (see
// Backup.cpp), reading each value back; it prints what changed, what was equal
// and what the unit refused, the passwords' values as stars. --dry-run prints
// the differences only. Voice recordings are not in a backup: differing names
// are reported.

#include <QString>

class TForm1;

bool BackupCommand(TForm1& window, const QString& path, QString& error);
// Before connecting: FILE can take the backup (exit code 3 otherwise).
bool CheckBackupFile(TForm1& window, const QString& path, QString& error);
// Before connecting: the file is a usable backup (exit code 3 otherwise).
bool CheckRestoreFile(TForm1& window, const QString& path, QString& error);
bool RestoreCommand(TForm1& window, const QString& path, QString& error);
bool RestoreDryRun(TForm1& window, const QString& path, QString& error);

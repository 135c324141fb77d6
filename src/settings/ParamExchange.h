#pragma once
// Reading and writing one numbered parameter of the unit: an integer
// (NumberGet / NumberSet) or a dialling string (DirectoryGet / DirectorySet).
// Worker thread only, inside a job whose session has brought the unit into the
// parameter's menu. None of them returns a status: every failure is shown to
// the user, a failed read yields 0 or the empty text, and the callers always
// read a parameter back after writing it, so the screen shows what the unit holds.

#include <QString>

int NumberGet(int code);
void NumberSet(int code, int value);
QString DirectoryGet(int code);
// Only the keypad's symbols ("0"-"9", "*", "#") cross the line: a value with
// anything else is refused before the unit is addressed, since a control byte
// would end or cancel the unit's command line.
void DirectorySet(int code, const QString& value);

#pragma once
// The unit's code page, Windows-1251: its bytes to text and back. Every byte
// but 0x98 (no letter in this code page) is a letter or sign of its own;
// 0x98 reads as U+FFFD, and text the code page lacks is written as '?'.
// Linux uses Qt's codec (CodePagePosix.cpp); Qt for Windows is built without
// one, so Windows uses the system's code-page calls (CodePageWin32.cpp).

#include <QByteArray>
#include <QString>

QString FromCp1251(const QByteArray& bytes);
QByteArray ToCp1251(const QString& text);

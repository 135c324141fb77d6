#pragma once
// Text as the unit stores and exchanges it: Windows-1251 bytes. Conversion to
// Unicode happens only where text meets a person (state file, control lines).

#include <QByteArray>
#include <QString>

QByteArray ToUnitBytes(const QString& text);
QString FromUnitBytes(const QByteArray& bytes);

// The three-letter access word "кдл" that opens the unit's PC mode.
inline const QByteArray AccessWord = QByteArrayLiteral("\xEA\xE4\xEB");
// The same word as a person's UTF-8 terminal sends it: the unit takes it too,
// so that it can be woken from picocom or screen without a code-page converter.
inline const QByteArray AccessWordUtf8 = QByteArrayLiteral("\xD0\xBA\xD0\xB4\xD0\xBB");

inline bool IsAccessWord(const QByteArray& line)
{
    return line == AccessWord || line == AccessWordUtf8;
}

#pragma once
// Text as the unit stores and exchanges it: Windows-1251 bytes. Conversion to
// Unicode happens only where text meets a person (state file, control lines).

#include <QByteArray>
#include <QString>

QByteArray ToUnitBytes(const QString& text);
QString FromUnitBytes(const QByteArray& bytes);

// The three-letter access word "кдл" that opens the unit's PC mode.
inline const QByteArray AccessWord = QByteArrayLiteral("\xEA\xE4\xEB");

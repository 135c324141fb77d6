// The Windows half of UnitText.h: Qt for Windows is built without a codec for
// Windows-1251, so the unit borrows the program's code-page calls there.
#include "UnitText.h"

#include "support/CodePage.h"

QByteArray ToUnitBytes(const QString& text)
{
    return ToCp1251(text);
}

QString FromUnitBytes(const QByteArray& bytes)
{
    return FromCp1251(bytes);
}

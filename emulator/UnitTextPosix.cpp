// The Linux half of UnitText.h: Qt's own codec.
#include "UnitText.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray ToUnitBytes(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

QString FromUnitBytes(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

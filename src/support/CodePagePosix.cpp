// The Qt codec half of CodePage.h.
#include "CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString FromCp1251(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

QByteArray ToCp1251(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

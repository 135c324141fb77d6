#include "Dialogue.h"

#include "session/Comm.h"
#include "session/MessageSink.h"
#include "session/UnitDialog.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstdint>

namespace Dialogue {

bool Command(const QByteArray& line, int timeoutMs)
{
    TFormComm* comm = FormComm();
    return comm && comm->SendAndWaitEcho(line, timeoutMs) == wrFound;
}

bool Prompt(const QByteArray& text, int timeoutMs)
{
    TFormComm* comm = FormComm();
    return comm && comm->WaitForText(text, timeoutMs) == wrFound;
}

bool ReadThrough(const QByteArray& terminator, QByteArray& text, int timeoutMs)
{
    TFormComm* comm = FormComm();
    QByteArray through = terminator;
    if (!comm || comm->ReadThrough(through, timeoutMs) != wrFound)
        return false;
    text = through;
    return true;
}

bool ReadLine(QByteArray& text, int timeoutMs)
{
    if (!ReadThrough(Unit::LineEnd, text, timeoutMs))
        return false;
    text.chop(Unit::LineEnd.size());
    return true;
}

void ReportError(const QString& text)
{
    if (!text.isEmpty())
        ErrorBox(text);
}

bool ParseDecimal(const QByteArray& text, int& value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    qint64 v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX)
        return false;
    value = int(v);
    return true;
}

QString FromUnit(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

QByteArray ToUnit(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

QString MinutesSeconds(int seconds)
{
    return QString::asprintf("%.2d:%.2d", seconds / 60, seconds % 60);
}

} // namespace Dialogue

#include "Dialogue.h"

#include "session/Comm.h"
#include "session/UnitDialog.h"

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

QString MinutesSeconds(int seconds)
{
    return QString::asprintf("%.2d:%.2d", seconds / 60, seconds % 60);
}

} // namespace Dialogue

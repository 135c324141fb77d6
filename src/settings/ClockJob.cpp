#include "ClockJob.h"

#include "Dialogue.h"
#include "session/UnitDialog.h"

#include <QCalendarWidget>
#include <QDate>
#include <QTime>
#include <QTimeEdit>

namespace {

constexpr int ClockDigits = 12;
constexpr int FirstYear = 2000;

// The two-digit field at the given pair; -1 when they are not two digits.
int pairAt(const QByteArray& text, int pair)
{
    int value = 0;
    return Dialogue::ParseDecimal(text.mid(pair * 2, 2), value) ? value : -1;
}

} // namespace

TClock::TClock()
{
    Mode = Unit::umTime;
}

void TClock::Input()
{
    State = Write;
}

// Both waits together stay below the clock window's reading interval.
void TClock::GetP()
{
    QByteArray reply;
    QDate date;
    QTime time;
    if (!Dialogue::Command(Unit::Get, 100))
        State = 200;
    else if (!Dialogue::ReadLine(reply, 300))
        State = 201;
    else if (!ParseClockString(reply, date, time))
        State = 202;
    else {
        ClockString = reply;
        State = Show;
    }
}

// The clock is not read back here: the clock window's next reading shows it.
void TClock::SetP()
{
    QByteArray reply;
    if (!Dialogue::Command(Unit::Set, 1000))
        State = 200;
    else if (!Dialogue::Prompt(Unit::TimePrompt, 1000))
        State = 203;
    else if (!Dialogue::Command(ClockString + Unit::LineEnd, 1000))
        State = 204;
    else if (!Dialogue::ReadLine(reply, 2000))
        State = 201;
    else if (reply == Unit::Ok)
        State = 0;
    else
        State = reply == Unit::Error ? 205 : 206;
}

void TClock::Output()
{
    QDate date;
    QTime time;
    if (!ParseClockString(ClockString, date, time))
        return;
    if (TimePicker)
        TimePicker->setTime(time);
    if (Calendar)
        Calendar->setSelectedDate(date);
}

QByteArray TClock::MakeClockString(const QDate& date, const QTime& time)
{
    return QString::asprintf("%.2d%.2d%.2d%.2d%.2d%.2d", date.day(), date.month(), date.year() % 100,
                             time.hour(), time.minute(), time.second())
        .toLatin1();
}

bool TClock::ParseClockString(const QByteArray& text, QDate& date, QTime& time)
{
    if (text.size() != ClockDigits)
        return false;
    int fields[ClockDigits / 2];
    for (int i = 0; i < ClockDigits / 2; ++i)
        if ((fields[i] = pairAt(text, i)) < 0)
            return false;
    date = QDate(FirstYear + fields[2], fields[1], fields[0]);
    time = QTime(fields[3], fields[4], fields[5]);
    return date.isValid() && time.isValid();
}

QString TClock::ErrorText(int state) const
{
    switch (state) {
    case 200: return QStringLiteral("Time: No echo at command");
    case 201: return QStringLiteral("Time: Time-out on reply");
    case 202: return QStringLiteral("Time: Empty or incorrect reply");
    case 203: return QStringLiteral("Time: Time-out on prompt");
    case 204: return QStringLiteral("Time: No echo at parameter");
    case 205: return QStringLiteral("Time: reply: ERROR");
    case 206: return QStringLiteral("Time: Unknown error");
    }
    return {};
}

#pragma once
// The unit's real-time clock (its time menu): read it into a time picker and a
// month calendar, or set it from a clock string prepared by the starter. The
// clock string is 12 digits DD MM YY hh mm ss, the year being 2000 + YY.

#include "session/Joint1.h"

#include <QByteArray>

class QCalendarWidget;
class QDate;
class QTime;
class QTimeEdit;

class TClock : public TJoint1 {
public:
    TClock();

    // What the last read gave, or what the next write sends.
    QByteArray ClockString;
    QTimeEdit* TimePicker = nullptr;     // not owned
    QCalendarWidget* Calendar = nullptr; // not owned

    // Goes straight to the write.
    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;

    // The clock string of a date and time (the year by its last two digits).
    static QByteArray MakeClockString(const QDate& date, const QTime& time);
    // True when text is 12 digits that form a valid date and time.
    static bool ParseClockString(const QByteArray& text, QDate& date, QTime& time);

private:
    QString ErrorText(int state) const override;
};

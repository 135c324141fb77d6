#pragma once
// The unit's real-time clock: set once, it runs on with the computer's clock.
// It is exchanged as twelve digits DD MM YY hh mm ss, years 2000 to 2099.

#include <QByteArray>
#include <QDateTime>

class TUnitClock {
public:
    // Seconds the unit's clock is ahead of UTC; the factory sets local time.
    qint64 OffsetSeconds = 0;

    QByteArray Now() const;
    // False, and the clock unchanged, unless digits hold a valid date and time.
    bool Set(const QByteArray& digits);

    static qint64 LocalOffsetSeconds();

private:
    static QDateTime Parse(const QByteArray& digits);
};

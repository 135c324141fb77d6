#include "UnitClock.h"

#include "ParameterRules.h"

#include <QTimeZone>

namespace {

// The unit's time is a plain wall-clock reading; UTC arithmetic keeps it free
// of daylight-saving jumps. Whole seconds: a clock set to hh:mm:ss reads
// hh:mm:ss at once, not a second less.
qint64 NowSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace

QByteArray TUnitClock::Now() const
{
    return QDateTime::fromSecsSinceEpoch(NowSeconds() + OffsetSeconds, QTimeZone::utc())
        .toString(QStringLiteral("ddMMyyHHmmss"))
        .toLatin1();
}

bool TUnitClock::Set(const QByteArray& digits)
{
    const QDateTime when = Parse(digits);
    if (!when.isValid())
        return false;
    OffsetSeconds = when.toSecsSinceEpoch() - NowSeconds();
    return true;
}

QDateTime TUnitClock::Parse(const QByteArray& digits)
{
    if (digits.size() != 12)
        return {};
    int field[6];
    for (int i = 0; i < 6; ++i) {
        field[i] = ParseDecimal(digits.mid(2 * i, 2), 2);
        if (field[i] < 0)
            return {};
    }
    const QDate date(2000 + field[2], field[1], field[0]);
    const QTime time(field[3], field[4], field[5]);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, QTimeZone::utc());
}

qint64 TUnitClock::LocalOffsetSeconds()
{
    return QDateTime::currentDateTime().offsetFromUtc();
}

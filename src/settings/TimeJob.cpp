#include "TimeJob.h"

#include "ParamExchange.h"
#include "ui/Time.h"

#include <QRegularExpression>
#include <QTimeEdit>

#include <algorithm>

void TTimeDlg::Input()
{
    State = 0;
    TFormTime dialog;
    // A value from the unit that is no time of day (25:70, negative) is shown
    // as read in the grid; the picker opens at the nearest valid time.
    dialog.DateTimePicker1->setTime(QTime(std::clamp(Hours, 0, 23), std::clamp(Minutes, 0, 59)));
    if (dialog.exec() != QDialog::Accepted || !dialog.Changed)
        return;
    const QTime picked = dialog.DateTimePicker1->time();
    Hours = picked.hour();
    Minutes = picked.minute();
    State = Write;
}

void TTimeDlg::GetP()
{
    const int value = NumberGet(Code);
    Hours = value / 100;
    Minutes = value - Hours * 100;
}

void TTimeDlg::SetP()
{
    NumberSet(Code, Hours * 100 + Minutes);
}

TScalarValue TTimeDlg::Held() const
{
    return TTimeOfDay{Hours, Minutes};
}

void TTimeDlg::Assign(const TScalarValue& value)
{
    const auto time = ValueAs<TTimeOfDay>(value);
    Hours = time.Hours;
    Minutes = time.Minutes;
}

QString TTimeDlg::Text(const TScalarValue& value) const
{
    const auto time = ValueAs<TTimeOfDay>(value);
    return QString::asprintf("%.2d:%.2d", time.Hours, time.Minutes);
}

std::optional<TScalarValue> TTimeDlg::Parse(const QString& text, QString& error) const
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    const QRegularExpressionMatch match = form.match(text);
    const int hours = match.captured(1).toInt();
    const int minutes = match.captured(2).toInt();
    if (!match.hasMatch() || hours > 23 || minutes > 59) {
        error = QStringLiteral("a time of day hh:mm, 00:00 to 23:59");
        return std::nullopt;
    }
    return TTimeOfDay{hours, minutes};
}

#include "NumberJobs.h"

#include "ParamExchange.h"
#include "session/MessageSink.h"
#include "ui/Code.h"
#include "ui/Number.h"
#include "ui/UpDown.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

const QString NotAssigned = QStringLiteral("не назначен");

int toDialogRange(int value)
{
    return std::clamp(value, int(INT16_MIN), int(INT16_MAX));
}

} // namespace

void TNumber::Input()
{
    State = 0;
    TFormNumber dialog;
    dialog.UpDown1->setRange(toDialogRange(Min), toDialogRange(Max));
    dialog.UpDown1->setValue(toDialogRange(Value));
    // A value outside the limits opens at the nearest limit; it is written only
    // when the user moves away from what was shown, never by a plain OK.
    const int shown = dialog.UpDown1->value();
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int position = dialog.UpDown1->value();
    if (position == shown)
        return;
    Value = position;
    State = Write;
}

void TNumber::GetP()
{
    Value = NumberGet(Code);
}

void TNumber::SetP()
{
    NumberSet(Code, Value);
}

TScalarValue TNumber::Held() const
{
    return Value;
}

void TNumber::Assign(const TScalarValue& value)
{
    Value = ValueAs<int>(value);
}

QString TNumber::Text(const TScalarValue& value) const
{
    return QString::number(ValueAs<int>(value));
}

std::optional<TScalarValue> TNumber::Parse(const QString& text, QString& error) const
{
    const std::optional<int> value = Decimal(text);
    if (!value || *value < Min || *value > Max) {
        error = QStringLiteral("a number from %1 to %2").arg(Min).arg(Max);
        return std::nullopt;
    }
    return *value;
}

void TVFCode::Input()
{
    State = 0;
    TFormCode dialog;
    dialog.SetCode(Value);
    if (dialog.exec() != QDialog::Accepted || !dialog.Changed)
        return;
    Value = dialog.ChosenCode;
    State = Write;
}

void TVFCode::Output()
{
    if (!Display)
        return;
    if (Value >= 0 && Value <= KeyZero)
        Display->setText(HeldText());
    else
        ErrorBox(QStringLiteral("Incomprehensible: wrong code"));
}

QString TVFCode::GetText()
{
    return Display ? HeldText() : TJoint1::GetText();
}

// A code that is no key (the screen refuses it) is shown as held.
QString TVFCode::Text(const TScalarValue& value) const
{
    const int code = ValueAs<int>(value);
    if (code == 0)
        return NotAssigned;
    return QString::number(code == KeyZero ? 0 : code);
}

// A key "0" to "9", or none.
std::optional<TScalarValue> TVFCode::Parse(const QString& text, QString& error) const
{
    if (text.compare(NotAssigned, Qt::CaseInsensitive) == 0)
        return 0;
    if (text.size() == 1 && text[0].isDigit() && text[0].unicode() < 128)
        return text == QLatin1String("0") ? KeyZero : text.toInt();
    error = QStringLiteral("a key \"0\" to \"9\" or \"%1\"").arg(NotAssigned);
    return std::nullopt;
}

void TVersion::Input()
{
    State = 0; // nothing to edit
}

void TVersion::SetP()
{
}

void TVersion::Output()
{
    if (StatusPanel)
        StatusPanel->setText(QStringLiteral("Версия прошивки: ") + HeldText());
}

QString TVersion::GetText()
{
    return HeldText();
}

QString TVersion::Text(const TScalarValue& value) const
{
    const int version = ValueAs<int>(value);
    return QString::asprintf("%d.%d.%d", version / 10000, version % 10000 / 100, version % 100);
}

#include "CheckJob.h"

#include "ParamExchange.h"

#include <QCheckBox>

void TCheck::Input()
{
    State = 0;
    if (QCheckBox* box = CheckBox()) {
        Value = box->isChecked() ? 1 : 0;
        State = Write;
    }
}

void TCheck::GetP()
{
    Value = uint8_t(NumberGet(Code));
}

void TCheck::SetP()
{
    // Only the two values the unit knows; anything else read from it stays unwritten.
    if (Value == 0 || Value == 1)
        NumberSet(Code, Value);
}

void TCheck::Output()
{
    QCheckBox* box = CheckBox();
    if (!box)
        return;
    box->setEnabled(false);
    box->setChecked(Value != 0);
    box->setEnabled(true);
}

QString TCheck::GetText()
{
    return Value != 0 ? QStringLiteral("Установлен") : QStringLiteral("Снят");
}

TScalarValue TCheck::Held() const
{
    return Value != 0;
}

void TCheck::Assign(const TScalarValue& value)
{
    Value = ValueAs<bool>(value) ? 1 : 0;
}

QString TCheck::Text(const TScalarValue& value) const
{
    return ValueAs<bool>(value) ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<TScalarValue> TCheck::Parse(const QString& text, QString& error) const
{
    if (text == QLatin1String("0") || text == QLatin1String("1"))
        return text == QLatin1String("1");
    error = QStringLiteral("0 or 1 (the holiday flag)");
    return std::nullopt;
}

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

#include "Code.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TFormCode::TFormCode(QWidget* parent)
    : TValueDialog(QStringLiteral("Код вызова"), parent)
{
    auto* group = new QButtonGroup(this);
    auto* body = new QGridLayout;
    for (int code = 0; code < CodeCount; ++code) {
        const QString caption = code == 0 ? QStringLiteral("Не назначен")
                                          : QString::number(code % 10);
        RadioButton[code] = new QRadioButton(caption, this);
        group->addButton(RadioButton[code], code);
    }
    // Laid out like a telephone keypad under the "none" choice.
    body->addWidget(RadioButton[0], 0, 0, 1, 3);
    for (int digit = 1; digit <= 9; ++digit)
        body->addWidget(RadioButton[digit], 1 + (digit - 1) / 3, (digit - 1) % 3);
    body->addWidget(RadioButton[10], 4, 1);
    SetBody(body);

    connect(group, &QButtonGroup::idToggled, this, [this](int code, bool checked) {
        if (checked)
            RadioButtonClick(code);
    });
}

void TFormCode::SetCode(int code)
{
    InitialCode = code;
    ChosenCode = code;
    Changed = false;
    if (code >= 0 && code < CodeCount)
        RadioButton[code]->setChecked(true);
}

void TFormCode::RadioButtonClick(int code)
{
    ChosenCode = code;
    Changed = code != InitialCode;
}

#include "Choice.h"

#include "RadioGroup.h"

#include <QVBoxLayout>

TFormChoice::TFormChoice(QWidget* parent)
    : TValueDialog(QStringLiteral("Выберите"), parent)
    , RadioGroup1(new TRadioGroup(QString(), this))
{
    auto* body = new QVBoxLayout;
    body->addWidget(RadioGroup1);
    SetBody(body);
}

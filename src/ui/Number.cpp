#include "Number.h"

#include "UpDown.h"

#include <QHBoxLayout>

TFormNumber::TFormNumber(QWidget* parent)
    : TValueDialog(QStringLiteral("Ввод значения"), parent)
    , UpDown1(new TUpDown(0, 100, this))
    , Edit1(UpDown1->lineEdit())
{
    UpDown1->setMinimumWidth(120);
    auto* body = new QHBoxLayout;
    body->addWidget(UpDown1);
    SetBody(body);
}

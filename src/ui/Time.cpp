#include "Time.h"

#include <QHBoxLayout>
#include <QTimeEdit>

TFormTime::TFormTime(QWidget* parent)
    : TValueDialog(QStringLiteral("Введите время"), parent)
    , DateTimePicker1(new QTimeEdit(this))
{
    DateTimePicker1->setDisplayFormat(QStringLiteral("HH:mm"));
    DateTimePicker1->setMinimumWidth(100);
    connect(DateTimePicker1, &QTimeEdit::timeChanged, this, &TFormTime::DateTimePicker1Change);

    auto* body = new QHBoxLayout;
    body->addWidget(DateTimePicker1);
    SetBody(body);
}

void TFormTime::DateTimePicker1Change()
{
    if (isVisible())
        Changed = true;
}

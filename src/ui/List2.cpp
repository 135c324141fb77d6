#include "List2.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

TFormList2::TFormList2(QWidget* parent)
    : TValueDialog(QStringLiteral("Введите диапазон"), parent)
    , Edit1(new QLineEdit(this))
    , Edit2(new QLineEdit(this))
{
    auto* body = new QHBoxLayout;
    body->addWidget(Edit1);
    body->addWidget(new QLabel(QStringLiteral("–"), this));
    body->addWidget(Edit2);
    SetBody(body);
    connect(Edit1, &QLineEdit::textChanged, this, &TFormList2::EditChange);
    connect(Edit2, &QLineEdit::textChanged, this, &TFormList2::EditChange);
}

void TFormList2::EditChange()
{
    BothModified = Edit1->isModified() && Edit2->isModified();
}

#include "Password.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TFormPassword::TFormPassword(QWidget* parent)
    : TValueDialog(QStringLiteral("Введите пароль"), parent)
    , Edit1(new QLineEdit(this))
    , lblHint(new QLabel(this))
{
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setMinimumWidth(200);
    lblHint->hide();

    auto* body = new QVBoxLayout;
    body->addWidget(Edit1);
    body->addWidget(lblHint);
    SetBody(body);
}

bool TFormPassword::EditChanged() const
{
    return Edit1->isModified();
}

void TFormPassword::SetHint(const QString& hint)
{
    lblHint->setText(hint);
    lblHint->setVisible(!hint.isEmpty());
}

#include "Directory.h"

#include "CharFilter.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>

TFormDirectory::TFormDirectory(QWidget* parent)
    : TValueDialog(QStringLiteral("Ввод номера"), parent)
    , Edit1(new QLineEdit(this))
{
    Edit1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Edit1->setMinimumWidth(Edit1->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 20);
    new TCharFilter(Edit1, [this](QChar key) { return Edit1KeyPress(key); });
    connect(Edit1, &QLineEdit::textChanged, this, &TFormDirectory::Edit1Change);

    auto* body = new QHBoxLayout;
    body->addWidget(Edit1);
    SetBody(body);
}

bool TFormDirectory::Edit1KeyPress(QChar key) const
{
    return (key >= QLatin1Char('0') && key <= QLatin1Char('9'))
        || (key == QLatin1Char('*') && AllowStar);
}

void TFormDirectory::Edit1Change()
{
    Modified = Edit1->isModified();
}

#include "NumberJobs.h"

#include "ParamExchange.h"
#include "session/MessageSink.h"
#include "ui/Code.h"
#include "ui/Number.h"
#include "ui/StringGrid.h"
#include "ui/UpDown.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

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

void TNumber::Output()
{
    if (TStringGrid* grid = Grid())
        grid->SetCells(Col, Row, QString::number(Value));
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
    if (Value == 0)
        Display->setText(QStringLiteral("не назначен"));
    else if (Value >= 1 && Value <= 10)
        Display->setText(QString::number(Value % 10));
    else
        ErrorBox(QStringLiteral("Incomprehensible: wrong code"));
}

QString TVFCode::GetText()
{
    return Display ? Display->text() : QStringLiteral("Не определен");
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
        StatusPanel->setText(QStringLiteral("Версия прошивки: ") + GetText());
}

QString TVersion::GetText()
{
    return QString::asprintf("%d.%d.%d", Value / 10000, Value % 10000 / 100, Value % 100);
}

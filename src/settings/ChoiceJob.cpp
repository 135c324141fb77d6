#include "ChoiceJob.h"

#include "ParamExchange.h"
#include "session/MessageSink.h"
#include "ui/Choice.h"
#include "ui/RadioGroup.h"
#include "ui/StringGrid.h"

void TChoice::Input()
{
    State = 0;
    TFormChoice dialog;
    dialog.RadioGroup1->SetItems(Choices);
    dialog.RadioGroup1->SetItemIndex(ItemIndex);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Written even when unchanged: OK is how the user asks to set it again.
    ItemIndex = dialog.RadioGroup1->ItemIndex();
    State = Write;
}

void TChoice::GetP()
{
    const int value = NumberGet(Code);
    // A negative value is refused like one past the list: it names no choice.
    if (value >= 0 && value < Choices.size())
        ItemIndex = value;
    else
        ErrorBox(QStringLiteral("Choice: Invalid value received from device"));
}

void TChoice::SetP()
{
    NumberSet(Code, ItemIndex);
}

void TChoice::Output()
{
    if (TStringGrid* grid = Grid())
        grid->SetCells(Col, Row, Choices.value(ItemIndex));
}

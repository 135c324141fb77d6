#include "DirectoryJobs.h"

#include "ParamExchange.h"
#include "session/MessageSink.h"
#include "ui/Directory.h"
#include "ui/StringGrid.h"

#include <QLineEdit>

#include <algorithm>

void TDirectory::Input()
{
    State = 0;
    TFormDirectory dialog;
    // A longer value from the unit is shown whole: cut to the limit, it would
    // count as edited and be written back cut on a plain OK.
    dialog.Edit1->setMaxLength(std::max(MaxLength, int(Value.size())));
    dialog.Edit1->setText(Value);
    dialog.AllowStar = StarAllowed;
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString text = dialog.Edit1->text();
    if (text == Value)
        return;
    if (text.size() < MinLength) {
        ErrorBox(QString::asprintf("Число символов должно быть не менее %d.", MinLength));
        return;
    }
    Value = text;
    State = Write;
}

void TDirectory::GetP()
{
    Value = DirectoryGet(Code);
}

void TDirectory::SetP()
{
    DirectorySet(Code, Value);
}

void TDirectory::Output()
{
    if (TStringGrid* grid = Grid())
        grid->SetCells(Col, Row, Value.isEmpty() ? QStringLiteral("Не назначен") : Value);
}

void TVFDirectory::Output()
{
    if (ValueEdit)
        ValueEdit->setText(Value);
}

QString TVFDirectory::GetText()
{
    return ValueEdit ? ValueEdit->text() : QStringLiteral("Не определен");
}

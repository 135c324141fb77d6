#include "TimeJob.h"

#include "ParamExchange.h"
#include "ui/StringGrid.h"
#include "ui/Time.h"

#include <QTimeEdit>

#include <algorithm>

void TTimeDlg::Input()
{
    State = 0;
    TFormTime dialog;
    // A value from the unit that is no time of day (25:70, negative) is shown
    // as read in the grid; the picker opens at the nearest valid time.
    dialog.DateTimePicker1->setTime(QTime(std::clamp(Hours, 0, 23), std::clamp(Minutes, 0, 59)));
    if (dialog.exec() != QDialog::Accepted || !dialog.Changed)
        return;
    const QTime picked = dialog.DateTimePicker1->time();
    Hours = picked.hour();
    Minutes = picked.minute();
    State = Write;
}

void TTimeDlg::GetP()
{
    const int value = NumberGet(Code);
    Hours = value / 100;
    Minutes = value - Hours * 100;
}

void TTimeDlg::SetP()
{
    NumberSet(Code, Hours * 100 + Minutes);
}

void TTimeDlg::Output()
{
    if (TStringGrid* grid = Grid())
        grid->SetCells(Col, Row, QString::asprintf("%.2d:%.2d", Hours, Minutes));
}

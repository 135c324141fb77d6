#include "Joint1.h"

#include "session/MessageSink.h"
#include "ui/StringGrid.h"

bool TJoint1::Process()
{
    switch (State) {
    case 1:
        Input();
        return false;
    case 2:
        SetP();
        State = 3;
        return false;
    case 3:
        GetP();
        State = 4;
        return false;
    case 4:
        Output();
        State = 0;
        return true;
    default:
        State = 0;
        return true;
    }
}

bool TJoint1::NeedsMainThread()
{
    return State == 1 || State == 4;
}

void TJoint1::Input()
{
    WarningBox(QStringLiteral("TJoint: input ?"));
}

void TJoint1::GetP()
{
    WarningBox(QStringLiteral("TJoint: getp ?"));
}

void TJoint1::SetP()
{
    WarningBox(QStringLiteral("TJoint: setp ?"));
}

void TJoint1::Output()
{
    if (TStringGrid* grid = Grid())
        grid->SetCells(Col, Row, QStringLiteral("Some..."));
    else
        WarningBox(QStringLiteral("TJoint: output ?"));
}

QString TJoint1::GetText()
{
    if (TStringGrid* grid = Grid())
        return grid->Cells(Col, Row);
    return QStringLiteral("Не определен");
}

#include "Joint1.h"

#include "session/MessageSink.h"
#include "ui/StringGrid.h"

// A step that sets State itself (after the unit's reply: a state of the
// kind's own, an error state, or done) is followed; else the cycle goes on.
bool TJoint1::Process()
{
    switch (State) {
    case Edit:
        Input();
        break;
    case Write:
        SetP();
        if (State == Write)
            State = Read;
        break;
    case Read:
        GetP();
        if (State == Read)
            State = Show;
        break;
    case Show:
        Output();
        State = 0;
        break;
    default:
        EndRun();
    }
    return State == 0;
}

bool TJoint1::NeedsMainThread()
{
    return State == Edit || State == Show || State >= FirstErrorState;
}

QString TJoint1::ErrorText(int) const
{
    return {};
}

void TJoint1::EndRun()
{
    if (State >= FirstErrorState) {
        const QString text = ErrorText(State);
        if (!text.isEmpty())
            ErrorBox(text);
    }
    State = 0;
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

#include "ListDlg.h"

#include "Dialogue.h"
#include "session/UnitDialog.h"
#include "ui/Directory.h"
#include "ui/List2.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// States of the change dialogue, counted from its first failure state.
enum : int { NoCommandEcho, NoNumberPrompt, NoArgumentEcho, NoReply, ReplyError, ReplyNoMem, ReplyUnknown };
constexpr int AddErrors = 205;
constexpr int RemoveErrors = 215;

} // namespace

TListDlg::TListDlg()
{
    Mode = Unit::umList;
}

bool TListDlg::Process()
{
    switch (State) {
    case AddNumber:
        AskNumber(Adding);
        break;
    case RemoveNumber:
        AskNumber(Removing);
        break;
    case AddRange:
        AskRange(Adding);
        break;
    case RemoveRange:
        AskRange(Removing);
        break;
    case Adding:
        Change(Unit::Add, AddErrors);
        break;
    case Removing:
        Change(Unit::Remove, RemoveErrors);
        break;
    default:
        return TJoint1::Process();
    }
    return State == 0;
}

bool TListDlg::NeedsMainThread()
{
    switch (State) {
    case AddNumber:
    case AddRange:
    case RemoveNumber:
    case RemoveRange:
        return true;
    default:
        return TJoint1::NeedsMainThread();
    }
}

void TListDlg::GetP()
{
    if (!ReadList())
        return;
    // The unit leaves its list output only after the PC-mode word; what it
    // prints after that line is read by the next navigation.
    QByteArray line;
    if (!Dialogue::Command(Unit::AccessWord, 1000))
        State = 230;
    else if (!Dialogue::ReadLine(line, 1000))
        State = 231;
    else
        State = Show;
}

bool TListDlg::ReadList()
{
    if (!Dialogue::Command(Unit::GetAll, 2000)) {
        State = 200;
        return false;
    }
    QByteArray text;
    if (!Dialogue::ReadThrough(Unit::MenuEnd, text, 5000)) {
        State = 201;
        return false;
    }
    QList<QByteArray> lines = text.split(Unit::LineEnd.at(0));
    lines.removeLast(); // the prompt
    // A refused read lists nothing; the list keeps what it held.
    for (const QByteArray& line : lines) {
        if (Unit::IsRefusal(line)) {
            m_refusal = line;
            State = 202;
            return false;
        }
    }
    List.clear();
    for (const QByteArray& line : lines)
        List << Dialogue::FromUnit(line);
    return true;
}

void TListDlg::Output()
{
    if (TargetLines)
        TargetLines->setPlainText(List.join(QLatin1Char('\n')));
}

QString TListDlg::GetText()
{
    return List.join(QStringLiteral(", "));
}

void TListDlg::AskNumber(int next)
{
    State = 0;
    TFormDirectory dialog;
    if (dialog.exec() != QDialog::Accepted || !dialog.Modified || dialog.Edit1->text().isEmpty())
        return;
    Argument = dialog.Edit1->text();
    State = next;
}

void TListDlg::AskRange(int next)
{
    State = 0;
    TFormList2 dialog;
    if (dialog.exec() != QDialog::Accepted || !dialog.BothModified
        || dialog.Edit1->text().isEmpty() || dialog.Edit2->text().isEmpty())
        return;
    Argument = dialog.Edit1->text() + QLatin1Char('-') + dialog.Edit2->text();
    State = next;
}

void TListDlg::Change(const QByteArray& command, int errorBase)
{
    QByteArray reply;
    if (!Dialogue::Command(command, 2000))
        State = errorBase + NoCommandEcho;
    else if (!Dialogue::Prompt(Unit::NumberPrompt, 2000))
        State = errorBase + NoNumberPrompt;
    else if (!Dialogue::Command(Dialogue::ToUnit(Argument) + Unit::LineEnd, 2000))
        State = errorBase + NoArgumentEcho;
    else if (!Dialogue::ReadLine(reply, 3000))
        State = errorBase + NoReply;
    else if (reply == Unit::Error)
        State = errorBase + ReplyError;
    else if (reply == Unit::NoFreeMem)
        State = errorBase + ReplyNoMem;
    else if (reply == Unit::Ok)
        State = Read;
    else
        State = errorBase + ReplyUnknown;
}

QString TListDlg::ErrorText(int state) const
{
    switch (state) {
    case 200: return QStringLiteral("List: No echo at GETALL command");
    case 201: return QStringLiteral("List: No reply at GETALL command");
    case 202: return QStringLiteral("List (GETALL): Reply: ") + QString::fromLatin1(m_refusal);
    case 230: return QStringLiteral("List (GETALL): No echo");
    case 231: return QStringLiteral("List (GETALL): No final reply");
    }
    const bool add = state < RemoveErrors;
    const QString op = add ? QStringLiteral("ADD") : QStringLiteral("REMOVE");
    switch (state - (add ? AddErrors : RemoveErrors)) {
    case NoCommandEcho: return QStringLiteral("List: No echo at %1 command").arg(op);
    case NoNumberPrompt: return QStringLiteral("List (%1): Time-out of number prompt").arg(op);
    case NoArgumentEcho: return QStringLiteral("List (%1): No echo of parameter").arg(op);
    case NoReply: return QStringLiteral("List (%1): No reply").arg(op);
    case ReplyError: return QStringLiteral("List (%1): Reply: ERROR").arg(op);
    case ReplyNoMem: return QStringLiteral("List (%1): Reply: NO_FREE_MEM").arg(op);
    case ReplyUnknown: return QStringLiteral("List (%1): Unknown error").arg(op);
    }
    return {};
}

#include "MailDlg.h"

#include "Dialogue.h"
#include "session/MessageSink.h"
#include "session/UnitDialog.h"
#include "ui/MailAdd.h"
#include "ui/StringGrid.h"
#include "ui/UpDown.h"

#include <QLineEdit>

namespace {

constexpr int NewBoxMinutes = 15;
constexpr int UnknownReply = 226;

} // namespace

TMailDlg::TMailDlg()
{
    Mode = Unit::umMail;
}

bool TMailDlg::Process()
{
    switch (State) {
    case CreateBox:
        AskNew();
        break;
    case Creating:
        Change(Unit::Create);
        break;
    case DeleteBox:
        ConfirmDelete();
        break;
    case Deleting:
        DeleteSelected();
        break;
    case EditBox:
        AskSize();
        break;
    case Editing:
        Change(Unit::Edit);
        break;
    default:
        return TJoint1::Process();
    }
    return State == 0;
}

bool TMailDlg::NeedsMainThread()
{
    switch (State) {
    case CreateBox:
    case DeleteBox:
    case EditBox:
        return true;
    default:
        return TJoint1::NeedsMainThread();
    }
}

// One line per mailbox, "N=" owner " S=" seconds, then "FREE=" seconds. The
// lines are gathered apart and taken only when the whole list was read: the
// grid keeps showing the last good list, and a delete or an edit must act on
// the mailbox the grid shows.
void TMailDlg::GetP()
{
    if (!Dialogue::Command(Unit::GetAll, 2000)) {
        State = 200;
        return;
    }
    auto read = Mailboxes; // a line without its size keeps the size it had
    for (int index = 0;; ++index) {
        QByteArray line;
        if (!Dialogue::ReadLine(line, 3000)) {
            State = 201;
            return;
        }
        if (line.startsWith(Unit::FreeHead)) {
            if (!Dialogue::ParseDecimal(line.mid(Unit::FreeHead.size()), FreeSpace)) {
                State = 203;
                return;
            }
            Mailboxes = read;
            Count = index;
            State = Show;
            return;
        }
        if (Unit::IsRefusal(line)) {
            m_refusal = line;
            State = 205;
            return;
        }
        if (!ReadEntry(line, index, read))
            return;
    }
}

bool TMailDlg::ReadEntry(const QByteArray& line, int index, TMailboxes& read)
{
    if (!line.contains(Unit::OwnerHead)) {
        State = 204;
        return false;
    }
    // The owner needs at least one character; a line not led by "N=" or one
    // past the table cannot be placed.
    const qsizetype blank = line.indexOf(Unit::FieldBlank);
    if (!line.startsWith(Unit::OwnerHead) || blank <= Unit::OwnerHead.size() || index >= Capacity) {
        State = 202;
        return false;
    }
    TMailbox& box = read[index];
    box.Owner = Dialogue::FromUnit(line.mid(Unit::OwnerHead.size(), blank - Unit::OwnerHead.size()));
    const QByteArray size = line.mid(blank + 1);
    if (size.startsWith(Unit::SizeHead) && size.size() > Unit::SizeHead.size()
        && !Dialogue::ParseDecimal(size.mid(Unit::SizeHead.size()), box.Size)) {
        State = 203;
        return false;
    }
    return true;
}

void TMailDlg::Output()
{
    if (TStringGrid* grid = Grid()) {
        grid->SetRowCount(std::max(Count, 1) + 1);
        if (Count == 0) {
            grid->SetCells(0, 1, QString());
            grid->SetCells(1, 1, QString());
        }
        for (int i = 0; i < Count; ++i) {
            grid->SetCells(0, i + 1, Mailboxes[i].Owner);
            grid->SetCells(1, i + 1, Dialogue::MinutesSeconds(Mailboxes[i].Size));
        }
    }
    if (FreeSpaceField)
        FreeSpaceField->setText(Dialogue::MinutesSeconds(FreeSpace));
}

QString TMailDlg::GetText()
{
    TStringGrid* grid = Grid();
    if (!grid)
        return TJoint1::GetText();
    if (Count == 0)
        return QStringLiteral("почтовые ящики отсутствуют");
    QString text;
    for (int row = 1; row <= Count; ++row)
        text += grid->Cells(0, row) + QStringLiteral(": ") + grid->Cells(1, row) + QStringLiteral("\r\n");
    return text;
}

bool TMailDlg::SelectCurrent()
{
    TStringGrid* grid = Grid();
    Selected = grid ? grid->Row() - 1 : -1;
    return Selected >= 0 && Selected < Count;
}

void TMailDlg::AskNew()
{
    State = 0;
    TFormMailAdd dialog;
    dialog.edtOwner->clear();
    dialog.udSize->setValue(NewBoxMinutes);
    dialog.HideAnnouncement();
    if (dialog.exec() != QDialog::Accepted || dialog.edtOwner->text().isEmpty())
        return;
    Owner = dialog.edtOwner->text();
    SizeSeconds = dialog.udSize->value() * 60;
    State = Creating;
}

void TMailDlg::AskSize()
{
    State = 0;
    if (!SelectCurrent())
        return;
    const TMailbox& box = Mailboxes[Selected];
    TFormMailAdd dialog;
    dialog.setWindowTitle(QStringLiteral("Параметры ящика"));
    dialog.edtOwner->setText(box.Owner);
    dialog.edtOwner->setEnabled(false);
    dialog.udSize->setValue(box.Size / 60);
    dialog.HideAnnouncement();
    if (dialog.exec() != QDialog::Accepted)
        return;
    Owner = box.Owner;
    SizeSeconds = dialog.udSize->value() * 60;
    State = Editing;
}

void TMailDlg::Change(const QByteArray& command)
{
    if (!Dialogue::Command(command, 2000)) {
        State = 220;
        return;
    }
    if (!Dialogue::Prompt(Unit::NumberPrompt, 2000)) {
        State = 221;
        return;
    }
    // A line here is a refusal. "NO_FREE_BOX" has already given its "N" as
    // the prompt, so its rest is what arrives.
    QByteArray refusal;
    if (Dialogue::ReadLine(refusal, 1000)) {
        State = refusal == Unit::NoFreeBoxTail ? 225 : UnknownReply;
        return;
    }
    if (SendOwner())
        FinishChange();
}

bool TMailDlg::SendOwner()
{
    if (!Dialogue::Command(Dialogue::ToUnit(Owner) + Unit::LineEnd, 2000)) {
        State = 222;
        return false;
    }
    if (Dialogue::Prompt(Unit::SizePrompt, 1000))
        return true;
    QByteArray reply;
    if (!Dialogue::ReadLine(reply, 1000))
        State = 223;
    else
        State = reply == Unit::Error ? 224 : UnknownReply;
    return false;
}

void TMailDlg::FinishChange()
{
    QByteArray reply;
    if (!Dialogue::Command(QByteArray::number(SizeSeconds) + Unit::LineEnd, 2000))
        State = 227;
    else if (!Dialogue::ReadLine(reply, 3000))
        State = 228;
    else if (reply == Unit::Error)
        State = 229;
    else if (reply == Unit::NoFreeMem)
        State = 230;
    else
        State = reply == Unit::Ok ? Read : 231;
}

void TMailDlg::ConfirmDelete()
{
    State = 0;
    if (SelectCurrent()
        && ConfirmBox(QStringLiteral("Удалить ящик ") + Mailboxes[Selected].Owner + QLatin1Char('?')))
        State = Deleting;
}

void TMailDlg::DeleteSelected()
{
    QByteArray reply;
    if (Selected < 0 || Selected >= Count)
        State = 0;
    else if (!Dialogue::Command(Unit::Delete, 2000))
        State = 240;
    else if (!Dialogue::Prompt(Unit::NumberPrompt, 2000))
        State = 241;
    else if (!Dialogue::Command(Dialogue::ToUnit(Mailboxes[Selected].Owner) + Unit::LineEnd, 2000))
        State = 242;
    else if (!Dialogue::ReadLine(reply, 3000))
        State = 243;
    else if (reply == Unit::NotFound)
        State = 244;
    else
        State = reply == Unit::Ok ? Read : UnknownReply;
}

QString TMailDlg::ErrorText(int state) const
{
    switch (state) {
    case 200: return QStringLiteral("Mail: No echo at GETALL Command");
    case 201: return QStringLiteral("Mail: Time-out reply at GETALL Command");
    case 202: return QStringLiteral("Mail: Eror parsing string");
    case 203: return QStringLiteral("Mail: Incorrect size format");
    case 204: return QStringLiteral("Mail: Unable to find FREE= or N=");
    case 205: return QStringLiteral("Mail (GETALL): Reply: ") + QString::fromLatin1(m_refusal);
    case 220: return QStringLiteral("Mail: No echo at CREATE Command");
    case 221: return QStringLiteral("Mail: Time-out reply at CREATE Command");
    case 222: return QStringLiteral("Mail: No echo at owner input");
    case 223: return QStringLiteral("Mail: Time-out reply at owner input");
    case 224: return QStringLiteral("Mail: reply from device: ERROR");
    case 225: return QStringLiteral("Число почтовых ящиков максимально");
    case 226: return QStringLiteral("Mail: Unknown reply from device");
    case 227: return QStringLiteral("Mail: No echo at size input");
    case 228: return QStringLiteral("Mail: No reply at the end of command");
    case 229: return QStringLiteral("Mail: reply at the end of command: ERROR");
    case 230: return QStringLiteral("Недостаточно свободной памяти для создания ящика");
    case 231: return QStringLiteral("Mail: Unknown reply at the end of command");
    case 240: return QStringLiteral("Mail: No echo at DELETE command");
    case 241: return QStringLiteral("Mail: Time-out reply at DELETE command");
    case 242: return QStringLiteral("Mail: No echo at owner input");
    case 243: return QStringLiteral("Mail: No reply at the end of command");
    case 244: return QStringLiteral("Mail: Untypical error: NOT_FOUND");
    }
    return {};
}

#include "MenuDlg.h"

#include "Dialogue.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "session/UnitDialog.h"
#include "ui/MenuItm.h"
#include "ui/StringGrid.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QRadioButton>

namespace {

constexpr int DeletingMessage = 21;
constexpr int Uploading = 31;

QByteArray keyDigit(int key)
{
    return QByteArray(1, char('0' + key));
}

} // namespace

TMenuDlg::TMenuDlg()
{
    Mode = Unit::umMenu;
}

bool TMenuDlg::Process()
{
    switch (State) {
    case Write:
        SetP();
        break;
    case DeleteFile:
        ConfirmMessageDelete();
        break;
    case DeletingMessage:
        DeleteMessage();
        break;
    case EditKey:
        EditItem();
        break;
    default:
        return TFile::Process();
    }
    return State == 0;
}

bool TMenuDlg::NeedsMainThread()
{
    return State == EditKey || TFile::NeedsMainThread();
}

// Reading: "TC=" number, "MSG=" name and length, then one line per key, each
// beginning with its digit. A read that stops part-way keeps what it read.
void TMenuDlg::GetP()
{
    if (TFormComm* comm = FormComm())
        comm->SendGet(Code);
    if (ReadHead() && ReadRecording() && ReadItems())
        State = Show;
}

bool TMenuDlg::ReadHead()
{
    QByteArray line;
    if (!Dialogue::ReadLine(line, 3000))
        State = 200;
    else if (!line.startsWith(Unit::ItemsHead))
        State = 201;
    else if (!Dialogue::ParseDecimal(line.mid(Unit::ItemsHead.size()), TC))
        State = 202;
    else
        return true;
    return false;
}

bool TMenuDlg::ReadRecording()
{
    QByteArray line;
    if (!Dialogue::ReadLine(line, 3000)) {
        State = 203;
        return false;
    }
    if (!line.startsWith(Unit::MessageHead)) {
        State = 205;
        return false;
    }
    const QByteArray rest = line.mid(Unit::MessageHead.size());
    if (rest.isEmpty()) {
        FileName.clear();
        return true;
    }
    const qsizetype blank = rest.indexOf(Unit::FieldBlank);
    FileName = Dialogue::FromUnit(blank < 0 ? rest : rest.left(blank));
    if (blank < 0 || !Dialogue::ParseDecimal(rest.mid(blank + 1), Length)) {
        State = 204;
        return false;
    }
    return true;
}

bool TMenuDlg::ReadItems()
{
    for (int key = 0; key < KeyCount; ++key) {
        QByteArray line;
        if (!Dialogue::ReadLine(line, 3000)) {
            State = 206;
            return false;
        }
        if (!line.startsWith(keyDigit(key))) {
            State = 207;
            return false;
        }
        Items[key] = line.mid(1);
    }
    return true;
}

// Writing: the unit prompts "TC", then each key's digit; the whole menu is
// sent, every item as it stands.
void TMenuDlg::SetP()
{
    if (TFormComm* comm = FormComm())
        comm->SendSet(Code);
    if (!Dialogue::Prompt(Unit::ItemsPrompt, 2000)) {
        State = 210;
        return;
    }
    if (!Dialogue::Command(QByteArray::number(TC) + Unit::LineEnd, 2000)) {
        State = 211;
        return;
    }
    for (int key = 0; key < KeyCount; ++key)
        if (!WriteItem(key))
            return;
    QByteArray reply;
    if (!Dialogue::ReadLine(reply, 3000))
        State = 216;
    else
        CheckReply(reply, 217);
}

bool TMenuDlg::WriteItem(int key)
{
    if (!Dialogue::Prompt(keyDigit(key), 1000)) {
        QByteArray reply;
        if (!Dialogue::ReadLine(reply, 1000))
            State = 212;
        else
            State = reply == Unit::Error ? 214 : 215;
        return false;
    }
    if (!Dialogue::Command(Items[key] + Unit::LineEnd, 2000)) {
        State = 213;
        return false;
    }
    return true;
}

void TMenuDlg::Output()
{
    TStringGrid* grid = Grid();
    if (!grid)
        return;
    grid->SetCells(NameColumn, Row, FileName.isEmpty() ? QStringLiteral("не назначен") : FileName);
    for (int key = 0; key < KeyCount; ++key)
        grid->SetCells(FirstKeyColumn + key, Row, Dialogue::FromUnit(Items[key]));
}

QString TMenuDlg::GetText()
{
    TStringGrid* grid = Grid();
    if (!grid)
        return QStringLiteral("не определено");
    QString text = QStringLiteral("Файл: ") + grid->Cells(NameColumn, Row) + QStringLiteral("\r\n");
    for (int key = 0; key < KeyCount; ++key)
        text += QStringLiteral("Действие на %1: ").arg(key) + grid->Cells(FirstKeyColumn + key, Row)
            + QStringLiteral("\r\n");
    return text;
}

void TMenuDlg::EditItem()
{
    State = 0;
    if (EditedKey < 0 || EditedKey >= KeyCount)
        return;
    TFormMenuItm dialog;
    PresetItem(dialog, Items[EditedKey]);
    // Mailbox actions are set up on the unit itself; a key that has one keeps
    // it unless the user picks something else.
    dialog.HideMailboxActions();
    if (dialog.exec() != QDialog::Accepted)
        return;
    Items[EditedKey] = ItemFrom(dialog);
    State = Write;
}

void TMenuDlg::PresetItem(TFormMenuItm& dialog, const QByteArray& item) const
{
    // An empty item has no action to show: the dialog keeps its "none".
    if (item.isEmpty())
        return;
    const QString rest = Dialogue::FromUnit(item.mid(1));
    switch (item.at(0)) {
    case Unit::ItemNone:
        dialog.rbNone->setChecked(true);
        break;
    case Unit::ItemMenu: {
        int menu = 0;
        Dialogue::ParseDecimal(item.mid(1), menu);
        dialog.udMenu->setValue(menu);
        dialog.rbMenu->setChecked(true);
        break;
    }
    case Unit::ItemTransfer:
        dialog.edtExt->setText(rest);
        dialog.rbXfer->setChecked(true);
        break;
    case Unit::ItemLeave:
        dialog.edtExt->setText(rest);
        dialog.rbMsgLeave->setChecked(true);
        break;
    case Unit::ItemListen:
        dialog.edtExt->setText(rest);
        dialog.rbMsgGet->setChecked(true);
        break;
    default:
        ErrorBox(QStringLiteral("Wrong item information !"));
    }
}

QByteArray TMenuDlg::ItemFrom(const TFormMenuItm& dialog)
{
    const QByteArray ext = Dialogue::ToUnit(dialog.edtExt->text());
    if (dialog.rbMenu->isChecked())
        return Unit::ItemMenu + QByteArray::number(dialog.udMenu->value());
    if (dialog.rbXfer->isChecked())
        return Unit::ItemTransfer + ext;
    if (dialog.rbMsgLeave->isChecked())
        return Unit::ItemLeave + ext;
    if (dialog.rbMsgGet->isChecked())
        return Unit::ItemListen + ext;
    return QByteArray(1, Unit::ItemNone);
}

void TMenuDlg::UploadRequest()
{
    State = 0;
    if (!Dialogue::Command(Unit::UploadMsg, 2000))
        State = 220;
    else if (!Dialogue::Prompt(Unit::NumberPrompt, 2000))
        State = 221;
    else if (!Dialogue::Command(QByteArray::number(Code) + Unit::LineEnd, 2000))
        State = 222;
    else
        State = Uploading;
}

void TMenuDlg::ConfirmMessageDelete()
{
    State = 0;
    if (!FileName.isEmpty()
        && ConfirmBox(QStringLiteral("Удалить файл: %1 из меню %2 ?").arg(FileName).arg(Code)))
        State = DeletingMessage;
}

void TMenuDlg::DeleteMessage()
{
    QByteArray reply;
    if (!Dialogue::Command(Unit::DeleteMsg, 2000))
        State = 230;
    else if (!Dialogue::Prompt(Unit::NumberPrompt, 2000))
        State = 231;
    else if (!Dialogue::Command(QByteArray::number(Code) + Unit::LineEnd, 2000))
        State = 232;
    else if (!Dialogue::ReadLine(reply, 2000))
        State = 233;
    else
        CheckReply(reply, 234);
}

QString TMenuDlg::ErrorText(int state) const
{
    switch (state) {
    case 200: return QStringLiteral("Menu: Time-out in GET");
    case 201: return QStringLiteral("Menu (GET): Can't find TC=");
    case 202: return QStringLiteral("Menu (GET): Incorrect number format (TC), parameter: %1").arg(Code);
    case 203: return QStringLiteral("Menu (GET): Time out on MSG=");
    case 204: return QStringLiteral("Menu (GET): Incorrect length format, parameter: %1").arg(Code);
    case 205: return QStringLiteral("Menu (GET): Can't find MSG=");
    case 206: return QStringLiteral("Menu (GET): Time-out on item");
    case 207: return QStringLiteral("Menu (GET): Can't find item number");
    case 210: return QStringLiteral("Menu (SET): Time-out for 'TC'");
    case 211: return QStringLiteral("Menu (SET): No echo for TC value");
    case 212: return QStringLiteral("Menu (SET): No item prompt for item of incorrect reply");
    case 213: return QStringLiteral("Menu (SET): No echo for item value");
    case 214: return QStringLiteral("Menu (SET): 'ERROR' instead of item prompt");
    case 215: return QStringLiteral("Menu (SET): Unknown error (items)");
    case 216: return QStringLiteral("Menu (SET): Time-out on final reply");
    case 217: return QStringLiteral("Menu (SET): Final reply: 'ERROR'");
    case 218: return QStringLiteral("Menu (SET):Unknown final reply");
    case 220: return QStringLiteral("Menu (ULMSG): No echo for command");
    case 221: return QStringLiteral("Menu (ULMSG): Time-out of number prompt");
    case 222: return QStringLiteral("Menu (ULMSG): No echo for number");
    case 230: return QStringLiteral("Menu (DELMSG): No echo at command");
    case 231: return QStringLiteral("Menu (DELMSG): Time-out of prompt");
    case 232: return QStringLiteral("Menu (DELMSG): No echo at parameter");
    case 233: return QStringLiteral("Menu (DELMSG): Time-out of reply");
    case 234: return QStringLiteral("Menu (DELMSG): reply: 'ERROR'");
    case 235: return QStringLiteral("Menu (DELMSG): Unknown error");
    }
    // A failed download request reports with the voice file's messages.
    return state >= 240 ? TFile::ErrorText(state) : QString();
}

#include "VoiceFile.h"

#include "Dialogue.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "session/UnitDialog.h"
#include "transfer/TransferFiles.h"
#include "ui/StringGrid.h"

namespace {

constexpr int BytesPerSecond = 8000;
constexpr int Clearing = 21;
constexpr int Uploading = 31;
constexpr int Downloading = 41;
constexpr int ReportResult = 71;
constexpr int LastUnitError = 10;

} // namespace

bool TFile::Process()
{
    switch (State) {
    case DeleteFile:
        ConfirmDelete();
        break;
    case Clearing:
        Clear();
        break;
    case UploadFile:
        if (LocalFileSendable())
            UploadRequest();
        break;
    case Uploading:
        UploadTransfer();
        break;
    case DownloadFile:
        DownloadRequest();
        break;
    case Downloading:
        DownloadTransfer();
        break;
    case ReadResult:
        ReadTransferResult();
        break;
    case ReportResult:
        ReportTransferResult();
        break;
    default:
        return TJoint1::Process();
    }
    return State == 0;
}

bool TFile::NeedsMainThread()
{
    switch (State) {
    case DeleteFile:
    case Uploading:
    case Downloading:
    case ReportResult:
        return true;
    default:
        return TJoint1::NeedsMainThread();
    }
}

void TFile::GetP()
{
    if (TFormComm* comm = FormComm()) {
        QByteArray name = Dialogue::ToUnit(FileName);
        comm->MessageGet(Code, name, Length);
        FileName = Dialogue::FromUnit(name);
    }
    State = Show;
}

void TFile::Output()
{
    TStringGrid* grid = Grid();
    if (!grid)
        return;
    if (FileName.isEmpty()) {
        grid->SetCells(Col, Row, QStringLiteral("Не записано"));
        grid->SetCells(Col + 1, Row, QString());
        grid->SetCells(Col + 2, Row, QString());
        return;
    }
    grid->SetCells(Col, Row, FileName);
    grid->SetCells(Col + 1, Row, Dialogue::MinutesSeconds(Length / BytesPerSecond));
    grid->SetCells(Col + 2, Row, QString::number(Length));
}

QString TFile::GetText()
{
    return FileName.isEmpty() ? QStringLiteral("Не записано") : FileName;
}

void TFile::DownloadRequest()
{
    if (!Dialogue::Command(Unit::DownloadMsg, 2000))
        State = 240;
    else if (!Dialogue::Prompt(Unit::NumberPrompt, 2000))
        State = 241;
    else if (!Dialogue::Command(QByteArray::number(Code) + Unit::LineEnd, 2000))
        State = 242;
    else if (!Dialogue::Prompt(Unit::TransferStart, 2000))
        State = 241;
    else
        State = Downloading;
}

void TFile::DownloadTransfer()
{
    StartTransfer();
}

void TFile::ConfirmDelete()
{
    State = 0;
    if (!FileName.isEmpty() && ConfirmBox(QStringLiteral("Удалить файл: ") + FileName))
        State = Clearing;
}

void TFile::Clear()
{
    QByteArray reply;
    if (!Dialogue::Command(Unit::Clear, 2000))
        State = 200;
    else if (!Dialogue::Prompt(Unit::NumberPrompt, 2000))
        State = 201;
    else if (!Dialogue::Command(QByteArray::number(Code) + Unit::LineEnd, 2000))
        State = 202;
    else if (!Dialogue::ReadLine(reply, 2000))
        State = 203;
    else
        CheckReply(reply, 204);
}

void TFile::CheckReply(const QByteArray& reply, int errorBase)
{
    if (reply == Unit::Ok)
        State = Read;
    else
        State = reply == Unit::Error ? errorBase : errorBase + 1;
}

void TFile::UploadRequest()
{
    // A failed announcement reports itself; the transfer window still gets its
    // start, and the unit's result line tells how it went.
    if (TFormComm* comm = FormComm())
        comm->SendSet(Code);
    State = Uploading;
}

// Checked before the unit hears of the upload: once told, it waits for a
// transfer that would not come.
bool TFile::LocalFileSendable()
{
    if (CheckFileToSend(LocalFilePath, m_localFileError))
        return true;
    State = LocalFileRefused;
    return false;
}

void TFile::UploadTransfer()
{
    StartTransfer();
}

void TFile::StartTransfer()
{
    // The job ends here; the transfer window starts state 70 when the
    // transfer is over.
    State = 0;
    if (TransferStartHook)
        TransferStartHook();
}

void TFile::ReadTransferResult()
{
    TransferResult = 0;
    State = ReportResult;
    QByteArray head;
    QByteArray line;
    if (!Dialogue::ReadThrough(Unit::TransferResult, head, 5000) || !Dialogue::ReadLine(line, 5000)) {
        TransferResult = ResultTimedOut;
        return;
    }
    if (line == Unit::Ok) {
        State = Read;
    } else if (line.startsWith(Unit::YModemError)) {
        const QByteArray rest = line.mid(Unit::YModemError.size());
        const qsizetype end = rest.indexOf(Unit::YModemErrorEnd);
        if (end < 0 || !Dialogue::ParseDecimal(rest.left(end), TransferResult))
            TransferResult = ResultUnreadable;
        else if (TransferResult == 0)
            TransferResult = ResultUnknown; // an error without a number is no success
    } else {
        TransferResult = ResultUnknown;
    }
}

void TFile::ReportTransferResult()
{
    if (TransferResult >= 1 && TransferResult <= LastUnitError)
        ErrorBox(QStringLiteral("YMODEM: error %1").arg(TransferResult));
    else if (TransferResult == ResultTimedOut)
        ErrorBox(QStringLiteral("YMODEM: Time-out on status reply"));
    else if (TransferResult == ResultUnreadable)
        ErrorBox(QStringLiteral("YMODEM: Incorrect error number format"));
    else
        ErrorBox(QStringLiteral("YMODEM: Unknown error"));
    State = TransferResult == ResultTimedOut ? 0 : Read;
}

QString TFile::ErrorText(int state) const
{
    switch (state) {
    case 200: return QStringLiteral("File (CLEAR): No echo at command");
    case 201: return QStringLiteral("File (CLEAR): Time-out of prompt");
    case 202: return QStringLiteral("File (CLEAR): No echo at parameter");
    case 203: return QStringLiteral("File (CLEAR): Time-out of reply");
    case 204: return QStringLiteral("File (CLEAR): reply: 'ERROR'");
    case 205: return QStringLiteral("File (CLEAR): Unknown error");
    case 240: return QStringLiteral("File (DLMSG): No echo at command");
    case 241: return QStringLiteral("File (DLMSG): Time-out of prompt");
    // The download's code echo, under the text its users already know.
    case 242: return QStringLiteral("File (CLEAR): No echo at parameter");
    case LocalFileRefused: return m_localFileError;
    }
    return {};
}

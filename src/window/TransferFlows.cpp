// The transfer window behind the upload and download flows of the pages: the
// flows have asked for the computer's file, this runs the move itself.
#include "Unit1.h"
#include "session/MessageSink.h"
#include "settings/VoiceFile.h"
#include "transfer/TransferFiles.h"
#include "ui/StringGrid.h"
#include "ui/YModemU.h"

void TForm1::BindTransferWindow()
{
    const auto transfer = [this](TFile* job, const QString& targetPath) {
        BeginBusy(); // the window behind stays busy while the line carries the file
        {
            TFormYMU window(*m_session, *m_server, this);
            window.Job = job;
            window.TargetPath = targetPath;
            window.exec();
            // The unit's report first; then whether the file moved whole all the same.
            m_server->WaitIdle();
            window.ReportWholeDespiteTrouble();
        }
        EndBusy();
    };
    UploadTransfer = [transfer](TFile* job) {
        // Refused before the unit is told to expect a file that cannot come.
        QString error;
        if (!CheckFileToSend(job->LocalFilePath, error)) {
            job->State = 0;
            ErrorBox(error);
            return;
        }
        transfer(job, QString());
    };
    DownloadTransfer = transfer;
}

TFile* TForm1::VoiceFileJob(bool message, int code) const
{
    // The recording's job hangs on the name column of the messages, on the
    // key column of the greetings and menus.
    const std::pair<const TStringGrid*, int> columns[] = {{sgMenu, 0}, {sgGreetings, 0}, {sgMessages, 1}};
    for (const auto& [grid, col] : columns) {
        if ((grid == sgMessages) != message)
            continue;
        for (int row = 1; row < grid->RowCount(); ++row) {
            auto* job = dynamic_cast<TFile*>(grid->Objects(col, row));
            if (job && job->Code == code)
                return job;
        }
    }
    return nullptr;
}

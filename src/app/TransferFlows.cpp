// The transfer window behind the upload and download flows of the pages: the
// flows have asked for the computer's file, this runs the move itself.
#include "Unit1.h"

#include "session/MessageSink.h"
#include "settings/VoiceFile.h"
#include "ui/TransferFiles.h"
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

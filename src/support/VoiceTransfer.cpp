#include "VoiceTransfer.h"

#include "session/MessageSink.h"
#include "session/Server.h"
#include "settings/VoiceFile.h"
#include "transfer/SpProtocol.h"
#include "transfer/TransferFiles.h"
#include "ui/YModemU.h"

TVoiceTransfer::TVoiceTransfer(TAAMenu& session, TCOMServer& server, QWidget* parent)
    : m_session(session), m_server(server), m_parent(parent)
{
}

TTransferOutcome TVoiceTransfer::Upload(TFile* job, const QString& file)
{
    // Refused before the unit is told to expect a file that cannot come.
    QString error;
    if (!CheckFileToSend(file, error)) {
        ErrorBox(error);
        return {};
    }
    job->LocalFilePath = file;
    return Run(job, TFile::UploadFile, QString());
}

TTransferOutcome TVoiceTransfer::Download(TFile* job, const QString& target)
{
    return Run(job, TFile::DownloadFile, target);
}

TTransferOutcome TVoiceTransfer::Run(TFile* job, int state, const QString& target)
{
    TTransferOutcome outcome;
    job->State = state;
    TFormYMU window(m_session, m_server, m_parent);
    window.Job = job;
    window.TargetPath = target;
    window.OnProgress = OnProgress;
    if (m_parent)
        window.exec();
    else
        window.RunUnattended();
    // The unit's report ends the job; nothing else is said before it.
    m_server.WaitIdle();
    outcome.Started = window.TransferStarted();
    if (!outcome.Started)
        return outcome;
    outcome.ExitCode = window.ExitCode();
    // A cancel is the user's own doing (or an interruption's, told on its own).
    if (outcome.ExitCode != ecDone && outcome.ExitCode != ecCancelled)
        ErrorBox(TransferFailureText(outcome.ExitCode));
    outcome.Placed = window.Placed();
    outcome.ReceivedWhole = window.ReceivedWhole();
    outcome.WholeDespiteTrouble = window.WholeDespiteTrouble();
    window.ReportWholeDespiteTrouble();
    return outcome;
}

QString TransferFailureText(int exitCode)
{
    switch (exitCode) {
    case ecCancelled: return QStringLiteral("YModem: передача отменена");
    case ecRemoteCancel: return QStringLiteral("YModem: устройство отменило передачу");
    case ecProtocol: return QStringLiteral("YModem: передача прервана: устройство нарушило порядок обмена");
    case ecReadFailed:
        return QStringLiteral("YModem: передача прервана: файл не читается или пропала связь с портом");
    case ecWriteFailed:
        return QStringLiteral("YModem: передача прервана: принятый файл не записывается или пропала связь с портом");
    case ecTooManyErrors:
        return QStringLiteral("YModem: передача прервана: слишком много ошибок и тайм-аутов на линии");
    case ecNoSender: return QStringLiteral("YModem: передача не началась: устройство не ответило");
    case ecCreateFailed: return QStringLiteral("YModem: передача прервана: не удалось создать файл для приема");
    case ecOpenFailed: return QStringLiteral("YModem: передача не началась: не удалось открыть файл");
    case ecOverflow:
        return QStringLiteral("YModem: передача прервана: данные пришли быстрее, чем программа успела их принять");
    }
    return QStringLiteral("YModem: передача прервана: неизвестная ошибка (%1)").arg(exitCode);
}

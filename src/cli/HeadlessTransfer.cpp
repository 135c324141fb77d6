#include "HeadlessTransfer.h"

#include "Headless.h"
#include "Interruption.h"
#include "session/AAMenu.h"
#include "session/MessageSink.h"
#include "session/Server.h"
#include "session/UnitDialog.h"
#include "settings/VoiceFile.h"
#include "support/OutputFile.h"
#include "transfer/TransferFiles.h"
#include "ui/YModemU.h"
#include "window/Unit1.h"

#include <QDir>
#include <QRegularExpression>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

struct TTarget {
    bool Message = false;
    int Code = 0;
};

std::optional<TTarget> ParseTarget(const QString& text, QString& error)
{
    static const QRegularExpression form(QStringLiteral("^(menu|message):(\\d{1,3})$"));
    const QRegularExpressionMatch match = form.match(text);
    TTarget target;
    target.Message = match.captured(1) == QLatin1String("message");
    target.Code = match.captured(2).toInt();
    const bool known = match.hasMatch()
        && (target.Message ? Unit::ServiceMessages.Contains(target.Code)
                           : Unit::MenuCodes.Contains(target.Code));
    if (!known) {
        error = QStringLiteral("unknown target '%1': menu:N (N 0 to %2) or message:N (N %3 to %4)")
                    .arg(text)
                    .arg(Unit::MenuCodes.Last)
                    .arg(Unit::ServiceMessages.First)
                    .arg(Unit::ServiceMessages.Last);
        return std::nullopt;
    }
    return target;
}

// The job of the target, once the login's level allows it (the refusal is
// reported as on the page).
TFile* TargetJob(TForm1& window, const QString& text, QString& error)
{
    const std::optional<TTarget> target = ParseTarget(text, error);
    if (!target)
        return nullptr;
    if (target->Message && !window.SystemOnly())
        return nullptr;
    TFile* job = window.VoiceFileJob(target->Message, target->Code);
    if (!job)
        error = QStringLiteral("в программе нет записи %1").arg(text);
    return job;
}

// One line on a terminal, rewritten per packet; nothing into a file or pipe.
void ShowProgress(qint64 bytes, qint64 total)
{
    std::fprintf(stderr, "\rparlotel: %lld / %lld", static_cast<long long>(bytes), static_cast<long long>(total));
}

// The transfer component's exit codes in the user's words.
QString TransferFailure(int exitCode)
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

struct TTransferRun {
    bool Started = false;       // the transfer began; otherwise the job has said why
    bool Done = false;          // it ended with exit code 0
    bool Placed = false;        // a download is in place
    bool ReceivedWhole = false; // a download arrived whole (placed or not)
    bool WholeDespiteTrouble = false; // see TFormYMU::WholeDespiteTrouble
};

// Runs the transfer window for the job in the state the caller set and, as
// the window's messages, after the unit's own report: the failure of the
// transfer in words (not a cancel: only an interruption cancels here, and it
// is told on its own), then whether the file moved whole all the same.
TTransferRun Transfer(TForm1& window, TFile* job, const QString& targetPath)
{
    TTransferRun run;
    if (TInterruption::Requested())
        return run;
    TFormYMU ymu(*window.Session(), *window.Server(), &window);
    ymu.Job = job;
    ymu.TargetPath = targetPath;
    const bool terminal = ::isatty(STDERR_FILENO);
    if (terminal)
        ymu.OnProgress = ShowProgress;
    ymu.RunUnattended();
    if (terminal && ymu.TransferStarted())
        std::fputs("\n", stderr);
    // The unit's report ends the job; nothing else is said before it.
    window.Server()->WaitIdle();
    run.Started = ymu.TransferStarted();
    if (!run.Started)
        return run;
    run.Done = ymu.ExitCode() == ecDone;
    if (!run.Done && ymu.ExitCode() != ecCancelled)
        ErrorBox(TransferFailure(ymu.ExitCode()));
    run.Placed = ymu.Placed();
    run.ReceivedWhole = ymu.ReceivedWhole();
    run.WholeDespiteTrouble = ymu.WholeDespiteTrouble();
    ymu.ReportWholeDespiteTrouble();
    return run;
}

} // namespace

bool CheckUploadArguments(TForm1&, const QStringList& arguments, QString& error)
{
    return ParseTarget(arguments.value(0), error) && CheckFileToSendArgument(arguments.value(1), error);
}

bool CheckDownloadArguments(TForm1&, const QStringList& arguments, QString& error)
{
    return ParseTarget(arguments.value(0), error) && CheckOutputFile(arguments.value(1), error);
}

TCommandOutcome UploadCommand(TForm1& window, const QStringList& arguments, QString& error)
{
    TFile* job = TargetJob(window, arguments.value(0), error);
    if (!job)
        return false;
    job->State = TFile::UploadFile;
    job->LocalFilePath = arguments.value(1);
    return Transfer(window, job, QString()).Done;
}

TCommandOutcome DownloadCommand(TForm1& window, const QStringList& arguments, QString& error)
{
    TFile* job = TargetJob(window, arguments.value(0), error);
    if (!job)
        return false;
    // The name on the unit first: nothing recorded, nothing to receive.
    job->State = TJoint1::Read;
    window.Session()->Submit(job);
    window.Server()->WaitIdle();
    if (job->FileName.isEmpty()) {
        error = QStringLiteral("на устройстве нет записи %1").arg(arguments.value(0));
        return false;
    }
    job->State = TFile::DownloadFile;
    const TTransferRun run = Transfer(window, job, arguments.value(1));
    // Said also after an interruption: whether the earlier file was replaced.
    if (run.Started && !run.ReceivedWhole)
        ErrorBox(QStringLiteral("Файл не сохранен: ") + QDir::toNativeSeparators(arguments.value(1)));
    if (run.Placed && run.WholeDespiteTrouble)
        return TCommandOutcome::SavedDespiteError;
    return run.Placed;
}

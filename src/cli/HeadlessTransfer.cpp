#include "HeadlessTransfer.h"

#include "Headless.h"
#include "Interruption.h"
#include "ProgressLine.h"
#include "session/AAMenu.h"
#include "session/MessageSink.h"
#include "session/Server.h"
#include "session/UnitDialog.h"
#include "settings/VoiceFile.h"
#include "support/OutputFile.h"
#include "support/VoiceTransfer.h"
#include "transfer/SpProtocol.h"
#include "transfer/TransferFiles.h"
#include "window/Unit1.h"

#include <QDir>
#include <QRegularExpression>

#include <optional>

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

// Bytes moved of the file's size, on the progress line.
void ShowTransferProgress(qint64 bytes, qint64 total)
{
    ShowProgress(QStringLiteral("%1 / %2").arg(bytes).arg(total));
}

// Runs the flow without a person, its progress on a terminal.
TTransferOutcome Transfer(TForm1& window, TFile* job, const QString& file, bool upload)
{
    if (TInterruption::Requested())
        return {};
    TVoiceTransfer transfer(*window.Session(), *window.Server(), nullptr);
    transfer.OnProgress = ShowTransferProgress;
    const TTransferOutcome outcome = upload ? transfer.Upload(job, file) : transfer.Download(job, file);
    EndProgressLine();
    return outcome;
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
    const TTransferOutcome outcome = Transfer(window, job, arguments.value(1), true);
    return outcome.Started && outcome.ExitCode == ecDone;
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
    const TTransferOutcome outcome = Transfer(window, job, arguments.value(1), false);
    // Said also after an interruption: whether the earlier file was replaced.
    if (outcome.Started && !outcome.ReceivedWhole)
        ErrorBox(QStringLiteral("Файл не сохранен: ") + QDir::toNativeSeparators(arguments.value(1)));
    if (outcome.Placed && outcome.WholeDespiteTrouble)
        return TCommandOutcome::SavedDespiteError;
    return outcome.Placed;
}

#include "HeadlessTransfer.h"

#include "Interruption.h"
#include "OutputFile.h"
#include "Unit1.h"
#include "session/AAMenu.h"
#include "session/Server.h"
#include "settings/VoiceFile.h"
#include "transfer/TransferFiles.h"
#include "ui/YModemU.h"

#include <QRegularExpression>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

struct TTarget {
    bool Message = false;
    int Code = 0;
};

constexpr int LastMenuCode = 22; // menus 0 to 19, then the three greetings
constexpr int FirstMessageCode = 60;
constexpr int LastMessageCode = 73;

std::optional<TTarget> ParseTarget(const QString& text, QString& error)
{
    static const QRegularExpression form(QStringLiteral("^(menu|message):(\\d{1,3})$"));
    const QRegularExpressionMatch match = form.match(text);
    TTarget target;
    target.Message = match.captured(1) == QLatin1String("message");
    target.Code = match.captured(2).toInt();
    const bool known = match.hasMatch()
        && (target.Message ? target.Code >= FirstMessageCode && target.Code <= LastMessageCode
                           : target.Code <= LastMenuCode);
    if (!known) {
        error = QStringLiteral("unknown target '%1': menu:N (N 0 to %2) or message:N (N %3 to %4)")
                    .arg(text)
                    .arg(LastMenuCode)
                    .arg(FirstMessageCode)
                    .arg(LastMessageCode);
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
        error = QStringLiteral("no recording '%1' in this program").arg(text);
    return job;
}

// One line on a terminal, rewritten per packet; nothing into a file or pipe.
void ShowProgress(qint64 bytes, qint64 total)
{
    std::fprintf(stderr, "\rparlotel: %lld / %lld", static_cast<long long>(bytes), static_cast<long long>(total));
}

// Runs the transfer window for the job in the state the caller set. True when
// the transfer ended with exit code 0; placed: a download is in place.
bool Transfer(TForm1& window, TFile* job, const QString& targetPath, bool& placed, QString& error)
{
    placed = false;
    if (TInterruption::Requested())
        return false;
    TFormYMU ymu(*window.Session(), *window.Server(), &window);
    ymu.Job = job;
    ymu.TargetPath = targetPath;
    const bool terminal = ::isatty(STDERR_FILENO);
    if (terminal)
        ymu.OnProgress = ShowProgress;
    ymu.RunUnattended();
    if (terminal && ymu.TransferStarted())
        std::fputs("\n", stderr);
    // The unit's report ends the job; its messages come before ours.
    window.Server()->WaitIdle();
    placed = ymu.Placed();
    if (!ymu.TransferStarted())
        return false; // the job has said why
    if (ymu.ExitCode() != 0) {
        error = QStringLiteral("YModem: передача прервана (код %1)").arg(ymu.ExitCode());
        return false;
    }
    return true;
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

bool UploadCommand(TForm1& window, const QStringList& arguments, QString& error)
{
    TFile* job = TargetJob(window, arguments.value(0), error);
    if (!job)
        return false;
    job->State = TFile::UploadFile;
    job->LocalFilePath = arguments.value(1);
    bool placed = false;
    return Transfer(window, job, QString(), placed, error);
}

bool DownloadCommand(TForm1& window, const QStringList& arguments, QString& error)
{
    TFile* job = TargetJob(window, arguments.value(0), error);
    if (!job)
        return false;
    // The name on the unit first: nothing recorded, nothing to receive.
    job->State = 3;
    window.Session()->Submit(job);
    window.Server()->WaitIdle();
    if (job->FileName.isEmpty()) {
        error = QStringLiteral("на устройстве нет записи %1").arg(arguments.value(0));
        return false;
    }
    job->State = TFile::DownloadFile;
    bool placed = false;
    if (!Transfer(window, job, arguments.value(1), placed, error))
        return false;
    if (!placed && error.isEmpty())
        error = QStringLiteral("файл не сохранен: ") + arguments.value(1);
    return placed;
}

#include "CliCommands.h"

#include "Backup.h"
#include "JobRunner.h"
#include "ScalarSetting.h"
#include "session/UnitDialog.h"
#include "settings/ClockJob.h"
#include "settings/Dialogue.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "support/Console.h"
#include "window/Unit1.h"

#include <QDateTime>


namespace {

const QString ClockFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

std::optional<TScalarSetting> SettingOf(TForm1& window, const QString& codeText, QString& error)
{
    bool number = false;
    const int code = codeText.trimmed().toInt(&number);
    std::optional<TScalarSetting> setting;
    if (number)
        setting = TScalarSetting::Find(window, code);
    if (!setting)
        error = QStringLiteral("no single setting has the code \"%1\"").arg(codeText);
    return setting;
}

// CODE=VALUE: the setting and the value, checked against its limits.
std::optional<std::pair<TScalarSetting, TScalarValue>> Assignment(TForm1& window, const QString& argument,
                                                                  QString& error)
{
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (equals < 0) {
        error = QStringLiteral("--set takes CODE=VALUE");
        return std::nullopt;
    }
    const auto setting = SettingOf(window, argument.left(equals), error);
    if (!setting)
        return std::nullopt;
    const auto value = setting->Job()->Parse(argument.mid(equals + 1), error);
    if (!value) {
        error = QStringLiteral("%1: the value must be %2").arg(setting->CodeText(), error);
        return std::nullopt;
    }
    return std::make_pair(*setting, *value);
}

bool Reachable(const TJobRunner& runner, const TScalarSetting& setting, QString& error)
{
    if (setting.SystemOnly() && !runner.SystemLevel()) {
        error = Unit::SystemOnlyRefusal;
        return false;
    }
    return true;
}

bool CheckGet(TForm1& window, const QString& argument, QString& error)
{
    return SettingOf(window, argument, error).has_value();
}

bool Get(TForm1& window, const QString& argument, QString& error)
{
    const auto setting = SettingOf(window, argument, error);
    TJobRunner runner(window);
    if (!setting || !Reachable(runner, *setting, error))
        return false;
    if (!runner.Run(setting->Job(), TJoint1::Read)) {
        error = QStringLiteral("Параметр %1 не прочитан").arg(setting->CodeText());
        return false;
    }
    PrintLine(setting->Job()->HeldText());
    return true;
}

bool CheckSet(TForm1& window, const QString& argument, QString& error)
{
    return Assignment(window, argument, error).has_value();
}

bool Set(TForm1& window, const QString& argument, QString& error)
{
    const auto assignment = Assignment(window, argument, error);
    TJobRunner runner(window);
    if (!assignment || !Reachable(runner, assignment->first, error))
        return false;
    const auto& [setting, value] = *assignment;
    TScalarJob* job = setting.Job();
    job->Assign(value);
    // Written with the job's own write, then read back by it.
    const bool ran = runner.Run(job, TJoint1::Write);
    if (!ran || job->Held() != value) {
        error = QStringLiteral("Устройство не приняло значение параметра %1; в устройстве: \"%2\"")
                    .arg(setting.CodeText(), job->HeldText());
        return false;
    }
    PrintLine(job->HeldText());
    return true;
}

std::optional<QDateTime> ClockArgument(const QString& argument, QString& error)
{
    if (argument == QLatin1String("now"))
        return QDateTime::currentDateTime();
    const QDateTime when = QDateTime::fromString(argument, ClockFormat);
    if (!when.isValid() || when.date().year() < 2000 || when.date().year() > 2099) {
        error = QStringLiteral("--clock-set takes \"YYYY-MM-DD hh:mm:ss\" (years 2000 to 2099) or now");
        return std::nullopt;
    }
    return when;
}

bool ReadClock(TJobRunner& runner, QString& error)
{
    TClock clock;
    QDate date;
    QTime time;
    if (!runner.Run(&clock, TJoint1::Read) || !TClock::ParseClockString(clock.ClockString, date, time)) {
        error = QStringLiteral("Часы устройства не прочитаны");
        return false;
    }
    PrintLine(QDateTime(date, time).toString(ClockFormat));
    return true;
}

bool Clock(TForm1& window, const QString&, QString& error)
{
    TJobRunner runner(window);
    return ReadClock(runner, error);
}

bool CheckClockSet(TForm1&, const QString& argument, QString& error)
{
    return ClockArgument(argument, error).has_value();
}

bool ClockSet(TForm1& window, const QString& argument, QString& error)
{
    const auto when = ClockArgument(argument, error);
    if (!when)
        return false;
    TJobRunner runner(window);
    TClock clock;
    clock.ClockString = TClock::MakeClockString(when->date(), when->time());
    if (!runner.Run(&clock, TJoint1::Write)) {
        error = QStringLiteral("Устройство не приняло время");
        return false;
    }
    return ReadClock(runner, error);
}

bool List(TForm1& window, const QString&, QString& error)
{
    TJobRunner runner(window);
    if (!runner.Run(window.ListJob, TJoint1::Read)) {
        error = QStringLiteral("Добавочные номера не прочитаны");
        return false;
    }
    for (const QString& entry : window.ListJob->List)
        PrintLine(entry);
    return true;
}

bool Mailboxes(TForm1& window, const QString&, QString& error)
{
    TJobRunner runner(window);
    const TMailDlg& mail = *window.MailJob;
    if (!runner.Run(window.MailJob, TJoint1::Read)) {
        error = QStringLiteral("Почтовые ящики не прочитаны");
        return false;
    }
    for (int i = 0; i < mail.Count; ++i)
        PrintLine(mail.Mailboxes[i].Owner + QLatin1Char(' ') + Dialogue::MinutesSeconds(mail.Mailboxes[i].Size));
    PrintLine(QStringLiteral("free ") + Dialogue::MinutesSeconds(mail.FreeSpace));
    return true;
}

// The commands here take one argument, the option's value.
using TSingleArgument = bool (*)(TForm1& window, const QString& argument, QString& error);

THeadlessCommand Command(const char* name, const char* value, const char* description, TSingleArgument run,
                         TSingleArgument check = nullptr)
{
    THeadlessCommand command;
    command.Name = QString::fromLatin1(name);
    command.ValueName = QString::fromLatin1(value);
    command.Description = QString::fromUtf8(description);
    command.Run = [run](TForm1& window, const QStringList& arguments, QString& error) {
        return run(window, arguments.value(0), error);
    };
    if (check)
        command.Check = [check](TForm1& window, const QStringList& arguments, QString& error) {
            return check(window, arguments.value(0), error);
        };
    return command;
}

} // namespace

void PrintLine(const QString& text)
{
    WriteText(TConsoleStream::Output, text + u'\n');
}

std::vector<THeadlessCommand> CliCommands()
{
    return {
        Command("get", "CODE", "Command: print the value of the setting with this parameter code, as the window shows it.",
                Get, CheckGet),
        Command("set", "CODE=VALUE",
                "Command: write one setting (a choice by index or name, a time as hh:mm, a call code as a key or "
                "\"не назначен\") and read it back.",
                Set, CheckSet),
        Command("clock", "", "Command: print the unit's clock (YYYY-MM-DD hh:mm:ss).", Clock),
        Command("clock-set", "TIME", "Command: set the unit's clock to \"YYYY-MM-DD hh:mm:ss\" or now.", ClockSet,
                CheckClockSet),
        Command("list", "", "Command: print the extension numbers, one per line.", List),
        Command("mailboxes", "", "Command: print the mailboxes (owner and mm:ss) and the free time.", Mailboxes),
        Command("backup", "FILE",
                "Command: save every setting the login's level can read into FILE (JSON, readable by its owner "
                "only).",
                BackupCommand, CheckBackupFile),
        Command("restore", "FILE",
                "Command: write the settings of a backup FILE to the unit where they differ, without asking: "
                "extension entries and mailboxes that FILE lacks are removed, menu keys unassigned in FILE are "
                "cleared; passwords show as ****. With --dry-run only print the differences.",
                RestoreCommand, CheckRestoreFile),
    };
}

const THeadlessCommand& RestoreDryRunCommand()
{
    static const THeadlessCommand command =
        Command("restore", "FILE", "", RestoreDryRun, CheckRestoreFile);
    return command;
}

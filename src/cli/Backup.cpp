// The restore writes in this order, so that every step finds the room and the
// references it needs: single settings (system parameters first), extension
// entries removed before others are added (ranges must not overlap), mailboxes
// deleted, then shrunk, then grown, then created (they share one budget of
// recording time), and the menus last, whose keys may name those mailboxes.
#include "Backup.h"

#include "CliCommands.h"
#include "JobRunner.h"
#include "ProgressLine.h"
#include "ScalarSetting.h"
#include "UnitSnapshot.h"
#include "session/UnitDialog.h"
#include "settings/Dialogue.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "support/OutputFile.h"
#include "window/Unit1.h"

#include <QFile>

#include <algorithm>
#include <functional>

namespace {

std::optional<TUnitSnapshot> LoadBackup(TForm1& window, const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const auto backup = TUnitSnapshot::FromJson(file.readAll(), window, error);
    if (!backup)
        error = QStringLiteral("%1: %2").arg(path, error);
    return backup;
}

QString MenuName(int code)
{
    static const char* const greetings[] = {"day greeting", "night greeting", "holiday greeting"};
    return Unit::Greetings.Contains(code) ? QString::fromLatin1(greetings[code - Unit::Greetings.First])
                                          : QStringLiteral("menu %1").arg(code);
}

QString MenuText(const TUnitSnapshot::TMenu& menu)
{
    return QStringLiteral("TC %1, keys %2").arg(menu.Tc).arg(menu.Items.join(QLatin1Char(' ')));
}

// One restore: the backup against what the unit holds now.
class TRestore {
public:
    TRestore(TForm1& window, TJobRunner& runner, const TUnitSnapshot& backup, bool dryRun)
        : m_window(window), m_runner(runner), m_backup(backup), m_dryRun(dryRun)
    {
    }

    bool Run(const TUnitSnapshot& unit, QString& error)
    {
        if (m_backup.System && !m_runner.SystemLevel())
            PrintLine(QStringLiteral("skipped: system parameters, greeting overrides and service messages "
                                     "(logged in as administrator)"));
        Settings(unit);
        Extensions(unit);
        Mailboxes(unit);
        Menus(unit);
        Recordings(unit);
        PrintLine(QStringLiteral("%1 %2, %3 already equal, %4 refused")
                      .arg(m_changed)
                      .arg(m_dryRun ? QStringLiteral("to change") : QStringLiteral("changed"))
                      .arg(m_equal)
                      .arg(m_refused));
        if (m_refused)
            error = QStringLiteral("Устройство не приняло изменений: %1").arg(m_refused);
        return m_refused == 0;
    }

private:
    // A difference: written (or, in a dry run, only told) and checked.
    void Change(const QString& what, const QString& from, const QString& to, const std::function<bool()>& write)
    {
        const QString line = QStringLiteral("%1: %2 -> %3").arg(what, from, to);
        if (m_dryRun) {
            ++m_changed;
            PrintLine(QStringLiteral("differs ") + line);
        } else if (write()) {
            ++m_changed;
            PrintLine(QStringLiteral("changed ") + line);
        } else {
            ++m_refused;
            PrintLine(QStringLiteral("refused ") + line);
        }
    }

    // The passwords' values stay out of the report, as out of the line trace.
    static QString Shown(const TScalarSetting& setting, const TScalarValue& value)
    {
        return Unit::IsPasswordCode(setting.Code()) ? QStringLiteral("****") : setting.Job()->Text(value);
    }

    void Settings(const TUnitSnapshot& unit)
    {
        for (const auto& entry : m_backup.Settings) {
            const TScalarValue& wanted = entry.second; // a lambda below needs a plain name
            const auto setting = TScalarSetting::Find(m_window, entry.first);
            if (setting->SystemOnly() && !m_runner.SystemLevel())
                continue;
            const auto it = unit.Settings.find(entry.first);
            if (it != unit.Settings.end() && it->second == wanted) {
                ++m_equal;
                continue;
            }
            const QString held = it == unit.Settings.end() ? QString() : Shown(*setting, it->second);
            TScalarJob* job = setting->Job();
            Change(QStringLiteral("setting ") + setting->CodeText(), held, Shown(*setting, wanted), [&] {
                job->Assign(wanted);
                return m_runner.Run(job, TJoint1::Write) && job->Held() == wanted;
            });
        }
    }

    void Extensions(const TUnitSnapshot& unit)
    {
        TListDlg& list = *m_window.ListJob;
        const auto edit = [&](const QString& entry, int state, bool present) {
            list.Argument = entry;
            return m_runner.Run(&list, state) && list.List.contains(entry) == present;
        };
        for (const QString& entry : unit.Extensions)
            if (!m_backup.Extensions.contains(entry))
                Change(QStringLiteral("extension ") + entry, QStringLiteral("listed"), QStringLiteral("removed"),
                       [&] { return edit(entry, TListDlg::Removing, false); });
        for (const QString& entry : m_backup.Extensions) {
            if (unit.Extensions.contains(entry))
                ++m_equal;
            else
                Change(QStringLiteral("extension ") + entry, QStringLiteral("missing"), QStringLiteral("added"),
                       [&] { return edit(entry, TListDlg::Adding, true); });
        }
    }

    // Size of an owner's mailbox as the unit holds it now, -1 for none.
    int HeldSize(const QString& owner, int* index = nullptr) const
    {
        const TMailDlg& mail = *m_window.MailJob;
        for (int i = 0; i < mail.Count; ++i)
            if (mail.Mailboxes[i].Owner == owner) {
                if (index)
                    *index = i;
                return mail.Mailboxes[i].Size;
            }
        return -1;
    }

    bool WriteMailbox(const QString& owner, int seconds, int state)
    {
        TMailDlg& mail = *m_window.MailJob;
        if (state == TMailDlg::Deleting && HeldSize(owner, &mail.Selected) < 0)
            return false;
        mail.Owner = owner;
        mail.SizeSeconds = seconds;
        return m_runner.Run(&mail, state) && HeldSize(owner) == seconds;
    }

    void Mailboxes(const TUnitSnapshot& unit)
    {
        const auto size = [](int seconds) { return seconds < 0 ? QStringLiteral("none") : Dialogue::MinutesSeconds(seconds); };
        const auto change = [&](const QString& owner, int from, int to, int state) {
            Change(QStringLiteral("mailbox ") + owner, size(from), size(to), [=, this] { return WriteMailbox(owner, to, state); });
        };
        for (const auto& [owner, seconds] : unit.Mailboxes)
            if (!m_backup.Mailboxes.count(owner))
                change(owner, seconds, -1, TMailDlg::Deleting);
        std::vector<std::pair<QString, int>> edits;
        for (const auto& [owner, seconds] : m_backup.Mailboxes) {
            const auto it = unit.Mailboxes.find(owner);
            if (it != unit.Mailboxes.end() && it->second == seconds)
                ++m_equal;
            else if (it != unit.Mailboxes.end())
                edits.emplace_back(owner, seconds - it->second);
        }
        std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
        for (const auto& [owner, growth] : edits)
            change(owner, m_backup.Mailboxes.at(owner) - growth, m_backup.Mailboxes.at(owner), TMailDlg::Editing);
        for (const auto& [owner, seconds] : m_backup.Mailboxes)
            if (!unit.Mailboxes.count(owner))
                change(owner, -1, seconds, TMailDlg::Creating);
    }

    void Menus(const TUnitSnapshot& unit)
    {
        for (const auto& entry : m_backup.Menus) {
            const int code = entry.first;
            const TUnitSnapshot::TMenu& menu = entry.second; // a lambda below needs a plain name
            const auto it = unit.Menus.find(code);
            if (it != unit.Menus.end() && it->second == menu) {
                ++m_equal;
                continue;
            }
            TMenuDlg* job = MenuJobs(m_window).at(code);
            const QString held = it == unit.Menus.end() ? QString() : MenuText(it->second);
            Change(MenuName(code), held, MenuText(menu), [&] {
                job->TC = menu.Tc;
                for (int key = 0; key < TMenuDlg::KeyCount; ++key)
                    job->Items[key] = menu.Items[key].toLatin1();
                if (!m_runner.Run(job, TJoint1::Write))
                    return false;
                TUnitSnapshot::TMenu read{job->TC, {}, {}};
                for (const QByteArray& item : job->Items)
                    read.Items << QString::fromLatin1(item);
                return read == menu;
            });
        }
    }

    static void TellRecording(const QString& what, const QString& backup, const QString& unit)
    {
        if (backup != unit)
            PrintLine(QStringLiteral("recording of %1 differs (not restored): backup \"%2\", unit \"%3\"")
                          .arg(what, backup, unit));
    }

    void Recordings(const TUnitSnapshot& unit) const
    {
        for (const auto& [code, menu] : m_backup.Menus)
            if (unit.Menus.count(code))
                TellRecording(MenuName(code), menu.File, unit.Menus.at(code).File);
        if (!m_runner.SystemLevel())
            return;
        for (const auto& [code, name] : m_backup.Recordings)
            if (unit.Recordings.count(code))
                TellRecording(QStringLiteral("service message %1").arg(code), name, unit.Recordings.at(code));
    }

    TForm1& m_window;
    TJobRunner& m_runner;
    const TUnitSnapshot& m_backup;
    const bool m_dryRun;
    int m_changed = 0;
    int m_equal = 0;
    int m_refused = 0;
};

bool Restore(TForm1& window, const QString& path, bool dryRun, QString& error)
{
    const auto backup = LoadBackup(window, path, error);
    if (!backup)
        return false;
    TJobRunner runner(window);
    const auto unit = TUnitSnapshot::Read(window, runner, error);
    return unit && TRestore(window, runner, *backup, dryRun).Run(*unit, error);
}

} // namespace

bool BackupCommand(TForm1& window, const QString& path, QString& error)
{
    TJobRunner runner(window);
    const auto snapshot = TUnitSnapshot::Read(window, runner, error, ShowReadProgress);
    EndProgressLine();
    if (!snapshot)
        return false;
    QString reason;
    if (WriteOutputFile(path, snapshot->ToJson(window), TFileAccess::Owner, reason))
        return true;
    error = QStringLiteral("Не удалось записать резервную копию в файл %1: %2").arg(path, reason);
    return false;
}

bool CheckBackupFile(TForm1&, const QString& path, QString& error)
{
    return CheckOutputFile(path, error);
}

bool CheckRestoreFile(TForm1& window, const QString& path, QString& error)
{
    return LoadBackup(window, path, error).has_value();
}

bool RestoreCommand(TForm1& window, const QString& path, QString& error)
{
    return Restore(window, path, false, error);
}

bool RestoreDryRun(TForm1& window, const QString& path, QString& error)
{
    return Restore(window, path, true, error);
}

#include "UnitSnapshot.h"

#include "JobRunner.h"
#include "ScalarSetting.h"
#include "session/UnitDialog.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "settings/NumberJobs.h"
#include "settings/VoiceFile.h"
#include "ui/StringGrid.h"
#include "window/Unit1.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString FormatName = QStringLiteral("parlotel-backup");
constexpr int Keys = TMenuDlg::KeyCount;
constexpr int LongestMailbox = 120 * 60; // seconds; the dialogs offer 1 to 120 minutes

std::vector<TFile*> RecordingJobs(TForm1& window)
{
    std::vector<TFile*> jobs;
    for (int row = 1; row < window.sgMessages->RowCount(); ++row)
        if (auto* job = dynamic_cast<TFile*>(window.sgMessages->Objects(1, row)))
            jobs.push_back(job);
    return jobs;
}

bool ReadSettings(TForm1& window, TJobRunner& runner, TUnitSnapshot& snapshot, QString& error)
{
    for (const TScalarSetting& setting : TScalarSetting::All(window)) {
        if (setting.SystemOnly() && !snapshot.System)
            continue;
        if (!runner.Run(setting.Job(), TJoint1::Read)) {
            error = QStringLiteral("Не удалось прочитать параметр %1").arg(setting.CodeText());
            return false;
        }
        snapshot.Settings[setting.Code()] = setting.Job()->Held();
    }
    return true;
}

bool ReadExtensions(TForm1& window, TJobRunner& runner, TUnitSnapshot& snapshot, QString& error)
{
    if (!runner.Run(window.ListJob, TJoint1::Read)) {
        error = QStringLiteral("Не удалось прочитать добавочные номера");
        return false;
    }
    snapshot.Extensions = window.ListJob->List;
    return true;
}

bool ReadMenus(TForm1& window, TJobRunner& runner, TUnitSnapshot& snapshot, QString& error)
{
    for (const auto& [code, job] : MenuJobs(window)) {
        if (!runner.Run(job, TJoint1::Read)) {
            error = QStringLiteral("Не удалось прочитать меню %1").arg(code);
            return false;
        }
        TUnitSnapshot::TMenu& menu = snapshot.Menus[code];
        menu.Tc = job->TC;
        for (const QByteArray& item : job->Items)
            menu.Items << QString::fromLatin1(item);
        menu.File = job->FileName;
    }
    return true;
}

bool ReadMail(TForm1& window, TJobRunner& runner, TUnitSnapshot& snapshot, QString& error)
{
    const TMailDlg& mail = *window.MailJob;
    if (!runner.Run(window.MailJob, TJoint1::Read)) {
        error = QStringLiteral("Не удалось прочитать почтовые ящики");
        return false;
    }
    for (int i = 0; i < mail.Count; ++i)
        snapshot.Mailboxes[mail.Mailboxes[i].Owner] = mail.Mailboxes[i].Size;
    snapshot.FreeSeconds = mail.FreeSpace;
    return true;
}

bool ReadRecordings(TForm1& window, TJobRunner& runner, TUnitSnapshot& snapshot, QString& error)
{
    for (TFile* job : RecordingJobs(window)) {
        if (!runner.Run(job, TJoint1::Read)) {
            error = QStringLiteral("Не удалось прочитать запись %1").arg(job->Code);
            return false;
        }
        snapshot.Recordings[job->Code] = job->FileName;
    }
    return true;
}

QJsonObject MenusJson(const std::map<int, TUnitSnapshot::TMenu>& menus)
{
    QJsonObject json;
    for (const auto& [code, menu] : menus)
        json.insert(QString::number(code), QJsonObject{{QStringLiteral("tc"), menu.Tc},
                                                       {QStringLiteral("items"), QJsonArray::fromStringList(menu.Items)},
                                                       {QStringLiteral("file"), menu.File}});
    return json;
}

// Reading a backup: every value is checked, and the first fault names itself.
class TBackupReader {
public:
    TBackupReader(TForm1& window, QString& error) : m_window(window), m_error(error) {}

    std::optional<TUnitSnapshot> Read(const QByteArray& text)
    {
        QJsonParseError parse;
        const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
        if (parse.error != QJsonParseError::NoError)
            return Fail(QStringLiteral("not a backup file: not JSON (%1 at byte %2)")
                            .arg(parse.errorString())
                            .arg(parse.offset));
        if (!document.isObject())
            return Fail(QStringLiteral("not a backup file: it holds a JSON array, not an object"));
        const QJsonObject json = document.object();
        if (json.value(QStringLiteral("format")).toString() != FormatName)
            return Fail(QStringLiteral("not a backup file of this program"));
        if (json.value(QStringLiteral("version")).toInt(-1) != TUnitSnapshot::FormatVersion)
            return Fail(QStringLiteral("backup format version %1 is not known (this program reads version %2)")
                            .arg(json.value(QStringLiteral("version")).toVariant().toString())
                            .arg(TUnitSnapshot::FormatVersion));
        TUnitSnapshot s;
        s.System = json.value(QStringLiteral("level")).toString() == QLatin1String("system");
        s.Firmware = json.value(QStringLiteral("firmware")).toString();
        s.Date = json.value(QStringLiteral("date")).toString();
        if (!Settings(json.value(QStringLiteral("settings")), s) || !Extensions(json.value(QStringLiteral("extensions")), s)
            || !Menus(json.value(QStringLiteral("menus")), s) || !Mail(json.value(QStringLiteral("mailboxes")), s)
            || !Recordings(json.value(QStringLiteral("recordings")), s))
            return std::nullopt;
        return s;
    }

private:
    std::nullopt_t Fail(const QString& error)
    {
        m_error = error;
        return std::nullopt;
    }

    bool Bad(const QString& error)
    {
        m_error = error;
        return false;
    }

    bool Settings(const QJsonValue& value, TUnitSnapshot& s)
    {
        if (!value.isObject())
            return Bad(QStringLiteral("the settings are missing"));
        const QJsonObject settings = value.toObject();
        for (auto it = settings.begin(); it != settings.end(); ++it) {
            bool number = false;
            const int code = it.key().toInt(&number);
            const auto setting = number ? TScalarSetting::Find(m_window, code) : std::nullopt;
            if (!setting)
                return Bad(QStringLiteral("setting \"%1\" is not a setting of this unit").arg(it.key()));
            if (setting->SystemOnly() && !s.System)
                return Bad(QStringLiteral("setting \"%1\" is a system parameter, but the backup was made as administrator")
                               .arg(it.key()));
            if (!it.value().isString())
                return Bad(QStringLiteral("setting \"%1\": the value must be a string in double quotes").arg(it.key()));
            QString why;
            const auto parsed = setting->Job()->Parse(it.value().toString(), why);
            if (!parsed)
                return Bad(QStringLiteral("setting %1: \"%2\" is out of its limits (%3)")
                                .arg(it.key(), it.value().toString(), why));
            s.Settings[code] = *parsed;
        }
        return true;
    }

    bool Extensions(const QJsonValue& value, TUnitSnapshot& s)
    {
        static const QRegularExpression entry(QStringLiteral("^[0-9]{1,8}(-[0-9]{1,8})?$"));
        for (const QJsonValue& item : value.toArray()) {
            if (!entry.match(item.toString()).hasMatch())
                return Bad(QStringLiteral("extension entry \"%1\" is not a number or a range")
                                .arg(item.toVariant().toString()));
            s.Extensions << item.toString();
        }
        return value.isArray() || Bad(QStringLiteral("the extension list is missing"));
    }

    static bool ValidItem(const QString& item)
    {
        static const QRegularExpression form(QStringLiteral("^(-|M[0-9]{1,2}|[NLG][0-9]{1,8})$"));
        return form.match(item).hasMatch() && (item[0] != QLatin1Char('M') || Unit::Menus.Contains(item.mid(1).toInt()));
    }

    bool Menus(const QJsonValue& value, TUnitSnapshot& s)
    {
        if (!value.isObject())
            return Bad(QStringLiteral("the menus are missing"));
        const QJsonObject menus = value.toObject();
        for (auto it = menus.begin(); it != menus.end(); ++it) {
            bool number = false;
            const int code = it.key().toInt(&number);
            const QJsonObject json = it.value().toObject();
            TUnitSnapshot::TMenu menu;
            menu.Tc = json.value(QStringLiteral("tc")).toInt(-1);
            menu.File = json.value(QStringLiteral("file")).toString();
            for (const QJsonValue& item : json.value(QStringLiteral("items")).toArray())
                menu.Items << item.toString();
            const bool valid = number && Unit::MenuCodes.Contains(code) && menu.Tc >= 0
                && menu.Items.size() == Keys && std::all_of(menu.Items.cbegin(), menu.Items.cend(), ValidItem);
            if (!valid)
                return Bad(QStringLiteral("menu \"%1\" is not a valid menu").arg(it.key()));
            s.Menus[code] = menu;
        }
        return true;
    }

    bool Mail(const QJsonValue& value, TUnitSnapshot& s)
    {
        static const QRegularExpression owner(QStringLiteral("^[0-9]{1,8}$"));
        const QJsonObject json = value.toObject();
        const QJsonObject boxes = json.value(QStringLiteral("boxes")).toObject();
        for (auto it = boxes.begin(); it != boxes.end(); ++it) {
            const int seconds = it.value().toInt(-1);
            if (!owner.match(it.key()).hasMatch() || seconds < 1 || seconds > LongestMailbox)
                return Bad(QStringLiteral("mailbox \"%1\" is out of the limits (owner of 1 to 8 digits, "
                                           "1 s to 120 min)")
                                .arg(it.key()));
            s.Mailboxes[it.key()] = seconds;
        }
        s.FreeSeconds = json.value(QStringLiteral("free")).toInt();
        if (!value.isObject() || s.Mailboxes.size() > size_t(TMailDlg::Capacity))
            return Bad(QStringLiteral("the mailboxes are missing or more than %1").arg(TMailDlg::Capacity));
        return true;
    }

    // Only told, never written; still, a name must belong to a service message.
    bool Recordings(const QJsonValue& value, TUnitSnapshot& s)
    {
        const QJsonObject json = value.toObject();
        for (auto it = json.begin(); it != json.end(); ++it) {
            bool number = false;
            const int code = it.key().toInt(&number);
            if (!number || !Unit::ServiceMessages.Contains(code) || !it.value().isString())
                return Bad(QStringLiteral("recording \"%1\" is not a service message").arg(it.key()));
            s.Recordings[code] = it.value().toString();
        }
        return true;
    }

    TForm1& m_window;
    QString& m_error;
};

} // namespace

std::map<int, TMenuDlg*> MenuJobs(TForm1& window)
{
    std::map<int, TMenuDlg*> jobs;
    for (const TStringGrid* grid : {window.sgMenu, window.sgGreetings})
        for (int row = 1; row < grid->RowCount(); ++row)
            if (auto* job = dynamic_cast<TMenuDlg*>(grid->Objects(0, row)))
                jobs[job->Code] = job;
    return jobs;
}

std::optional<TUnitSnapshot> TUnitSnapshot::Read(TForm1& window, TJobRunner& runner, QString& error,
                                                 const TReadProgress& progress)
{
    using TSection = bool (*)(TForm1&, TJobRunner&, TUnitSnapshot&, QString&);
    // The service messages last: only the system user reads them.
    static const std::pair<const char*, TSection> sections[] = {
        {"Параметры", ReadSettings},         {"Добавочные номера", ReadExtensions}, {"Меню и приветствия", ReadMenus},
        {"Почтовые ящики", ReadMail},        {"Служебные сообщения", ReadRecordings},
    };
    TUnitSnapshot s;
    s.System = runner.SystemLevel();
    s.Firmware = window.VersionJob()->GetText();
    s.Date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const int steps = int(std::size(sections)) - (s.System ? 0 : 1);
    for (int i = 0; i < steps; ++i) {
        if (progress && !progress(i + 1, steps, QString::fromUtf8(sections[i].first)))
            return std::nullopt;
        if (!sections[i].second(window, runner, s, error))
            return std::nullopt;
    }
    return s;
}

QByteArray TUnitSnapshot::ToJson(TForm1& window) const
{
    QJsonObject settings;
    for (const TScalarSetting& setting : TScalarSetting::All(window))
        if (const auto it = Settings.find(setting.Code()); it != Settings.end())
            settings.insert(QString::number(setting.Code()), setting.Job()->Text(it->second));
    QJsonObject boxes;
    for (const auto& [owner, seconds] : Mailboxes)
        boxes.insert(owner, seconds);
    QJsonObject recordings;
    for (const auto& [code, name] : Recordings)
        recordings.insert(QString::number(code), name);
    const QJsonObject json{
        {QStringLiteral("format"), FormatName},
        {QStringLiteral("version"), FormatVersion},
        {QStringLiteral("firmware"), Firmware},
        {QStringLiteral("date"), Date},
        {QStringLiteral("level"), System ? QStringLiteral("system") : QStringLiteral("admin")},
        {QStringLiteral("settings"), settings},
        {QStringLiteral("extensions"), QJsonArray::fromStringList(Extensions)},
        {QStringLiteral("menus"), MenusJson(Menus)},
        {QStringLiteral("mailboxes"), QJsonObject{{QStringLiteral("boxes"), boxes}, {QStringLiteral("free"), FreeSeconds}}},
        {QStringLiteral("recordings"), recordings},
    };
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

std::optional<TUnitSnapshot> TUnitSnapshot::FromJson(const QByteArray& json, TForm1& window, QString& error)
{
    return TBackupReader(window, error).Read(json);
}

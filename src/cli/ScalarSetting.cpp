#include "ScalarSetting.h"

#include "session/UnitDialog.h"
#include "settings/CheckJob.h"
#include "settings/ChoiceJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/NumberJobs.h"
#include "settings/TimeJob.h"
#include "ui/StringGrid.h"
#include "window/Unit1.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

const QString NotAssignedCode = QStringLiteral("не назначен");
const QString NotAssignedDigits = QStringLiteral("Не назначен");
constexpr int KeyZero = 10; // the call code of the key 0

// The kind of a catalogue job; nothing for the jobs that are no single setting.
std::optional<TScalarSetting::TKind> KindOf(TJoint1* job)
{
    if (dynamic_cast<TVersion*>(job))
        return std::nullopt;
    if (dynamic_cast<TVFCode*>(job))
        return TScalarSetting::CallCode;
    if (dynamic_cast<TNumber*>(job))
        return TScalarSetting::Number;
    if (dynamic_cast<TChoice*>(job))
        return TScalarSetting::Choice;
    if (dynamic_cast<TDirectory*>(job))
        return TScalarSetting::Digits;
    if (dynamic_cast<TTimeDlg*>(job))
        return TScalarSetting::Time;
    if (dynamic_cast<TCheck*>(job))
        return TScalarSetting::Flag;
    return std::nullopt;
}

std::optional<int> Decimal(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

void AddGrid(const TStringGrid* grid, std::vector<TJoint1*>& jobs)
{
    for (int row = 1; row < grid->RowCount(); ++row)
        for (int col = 0; col < grid->ColCount(); ++col)
            if (TJoint1* job = grid->Objects(col, row))
                jobs.push_back(job);
}

} // namespace

std::vector<TScalarSetting> TScalarSetting::All(TForm1& window)
{
    std::vector<TJoint1*> jobs{window.OpCodeJob,  window.OpNumDayJob, window.OpNumNightJob,
                               window.FaxNumJob,  window.AdmPwdJob,   window.HolidayJob};
    for (const TStringGrid* grid : {window.sgSysParams, window.sgTime, window.sgGreetOverride})
        AddGrid(grid, jobs);
    std::vector<TScalarSetting> settings;
    for (TJoint1* job : jobs)
        if (const auto kind = KindOf(job))
            settings.push_back(TScalarSetting(job, *kind));
    std::sort(settings.begin(), settings.end(), [](const auto& a, const auto& b) { return a.Code() < b.Code(); });
    return settings;
}

std::optional<TScalarSetting> TScalarSetting::Find(TForm1& window, int code)
{
    for (const TScalarSetting& setting : All(window))
        if (setting.Code() == code)
            return setting;
    return std::nullopt;
}

int TScalarSetting::Code() const
{
    return m_job->Code;
}

bool TScalarSetting::SystemOnly() const
{
    return Unit::SystemOnly(m_job->Mode, Code());
}

QString TScalarSetting::CodeText() const
{
    return Code() < Unit::NumbersPage.First ? QString::asprintf("%.2d", Code()) : QString::number(Code());
}

QString TScalarSetting::Shown() const
{
    switch (m_kind) {
    case Number: return QString::number(static_cast<TNumber*>(m_job)->Value);
    case Choice: {
        const auto* job = static_cast<TChoice*>(m_job);
        return job->Choices.value(job->ItemIndex, QString::number(job->ItemIndex));
    }
    case Digits: {
        const QString& value = static_cast<TDirectory*>(m_job)->Value;
        // The numbers page shows an empty field, the grids "Не назначен".
        return value.isEmpty() && !dynamic_cast<TVFDirectory*>(m_job) ? NotAssignedDigits : value;
    }
    case Time: {
        const auto* job = static_cast<TTimeDlg*>(m_job);
        return QString::asprintf("%.2d:%.2d", job->Hours, job->Minutes);
    }
    case CallCode: {
        const int value = static_cast<TNumber*>(m_job)->Value;
        return value == 0 ? NotAssignedCode : QString::number(value % KeyZero);
    }
    case Flag: return QString::number(static_cast<TCheck*>(m_job)->Value ? 1 : 0);
    }
    return {};
}

QString TScalarSetting::Raw() const
{
    switch (m_kind) {
    case Number:
    case CallCode: return QString::number(static_cast<TNumber*>(m_job)->Value);
    case Choice: return QString::number(static_cast<TChoice*>(m_job)->ItemIndex);
    case Digits: return static_cast<TDirectory*>(m_job)->Value;
    case Time: {
        const auto* job = static_cast<TTimeDlg*>(m_job);
        return QString::number(job->Hours * 100 + job->Minutes);
    }
    case Flag: return QString::number(static_cast<TCheck*>(m_job)->Value);
    }
    return {};
}

std::optional<QString> TScalarSetting::Parse(const QString& text, QString& error) const
{
    switch (m_kind) {
    case Number: return ParseNumber(text, error);
    case Choice: return ParseChoice(text, error);
    case Digits: return ParseDigits(text, error);
    case Time: return ParseTime(text, error);
    case CallCode: return ParseCallCode(text, error);
    case Flag:
        if (text == QLatin1String("0") || text == QLatin1String("1"))
            return text;
        error = QStringLiteral("0 or 1 (the holiday flag)");
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> TScalarSetting::ParseNumber(const QString& text, QString& error) const
{
    const auto* job = static_cast<TNumber*>(m_job);
    const std::optional<int> value = Decimal(text);
    if (!value || *value < job->Min || *value > job->Max) {
        error = QStringLiteral("a number from %1 to %2").arg(job->Min).arg(job->Max);
        return std::nullopt;
    }
    return QString::number(*value);
}

// By its index or by its name as the window shows it.
std::optional<QString> TScalarSetting::ParseChoice(const QString& text, QString& error) const
{
    const QStringList& names = static_cast<TChoice*>(m_job)->Choices;
    const std::optional<int> index = Decimal(text);
    if (index && *index >= 0 && *index < names.size())
        return QString::number(*index);
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(text, Qt::CaseInsensitive) == 0)
            return QString::number(i);
    QStringList offered;
    for (int i = 0; i < names.size(); ++i)
        offered << QStringLiteral("%1 \"%2\"").arg(i).arg(names[i]);
    error = QStringLiteral("one of ") + offered.join(QStringLiteral(", "));
    return std::nullopt;
}

std::optional<QString> TScalarSetting::ParseDigits(const QString& text, QString& error) const
{
    const auto* job = static_cast<TDirectory*>(m_job);
    const QString value = text.compare(NotAssignedDigits, Qt::CaseInsensitive) == 0 ? QString() : text;
    const QRegularExpression allowed(job->StarAllowed ? QStringLiteral("^[0-9*]*$") : QStringLiteral("^[0-9]*$"));
    if (value.size() < job->MinLength || value.size() > job->MaxLength || !allowed.match(value).hasMatch()) {
        error = QStringLiteral("%1 to %2 digits%3")
                    .arg(job->MinLength)
                    .arg(job->MaxLength)
                    .arg(job->StarAllowed ? QStringLiteral(" or \"*\"") : QString());
        return std::nullopt;
    }
    return value;
}

std::optional<QString> TScalarSetting::ParseTime(const QString& text, QString& error)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    const QRegularExpressionMatch match = form.match(text);
    const int hours = match.captured(1).toInt();
    const int minutes = match.captured(2).toInt();
    if (!match.hasMatch() || hours > 23 || minutes > 59) {
        error = QStringLiteral("a time of day hh:mm, 00:00 to 23:59");
        return std::nullopt;
    }
    return QString::number(hours * 100 + minutes);
}

// A key "0" to "9", or none.
std::optional<QString> TScalarSetting::ParseCallCode(const QString& text, QString& error)
{
    if (text.compare(NotAssignedCode, Qt::CaseInsensitive) == 0)
        return QStringLiteral("0");
    if (text.size() == 1 && text[0].isDigit() && text[0].unicode() < 128)
        return QString::number(text == QLatin1String("0") ? KeyZero : text.toInt());
    error = QStringLiteral("a key \"0\" to \"9\" or \"%1\"").arg(NotAssignedCode);
    return std::nullopt;
}

void TScalarSetting::Assign(const QString& raw) const
{
    switch (m_kind) {
    case Number:
    case CallCode: static_cast<TNumber*>(m_job)->Value = raw.toInt(); return;
    case Choice: static_cast<TChoice*>(m_job)->ItemIndex = raw.toInt(); return;
    case Digits: static_cast<TDirectory*>(m_job)->Value = raw; return;
    case Time: {
        auto* job = static_cast<TTimeDlg*>(m_job);
        job->Hours = raw.toInt() / 100;
        job->Minutes = raw.toInt() % 100;
        return;
    }
    case Flag: static_cast<TCheck*>(m_job)->Value = uint8_t(raw.toInt()); return;
    }
}

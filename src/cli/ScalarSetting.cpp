#include "ScalarSetting.h"

#include "session/UnitDialog.h"
#include "settings/CheckJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/NumberJobs.h"
#include "ui/StringGrid.h"
#include "window/Unit1.h"

#include <algorithm>

namespace {

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
        if (auto* setting = dynamic_cast<TScalarJob*>(job))
            settings.push_back(TScalarSetting(setting));
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

bool TScalarSetting::SystemOnly() const
{
    return Unit::SystemOnly(m_job->Mode, Code());
}

QString TScalarSetting::CodeText() const
{
    return Code() < Unit::NumbersPage.First ? QString::asprintf("%.2d", Code()) : QString::number(Code());
}

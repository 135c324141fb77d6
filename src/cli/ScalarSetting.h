#pragma once
// The single settings of the window's catalogue (a system parameter, a number
// of the numbers page, a time of the schedule, the holiday flag, a greeting
// override) for the command line and the backup: found by code, with whether
// only the system user reaches it and its code as written. The value, its
// text and the reading of a text are the setting's job's own (ScalarJob.h),
// and its job writes and reads it.

#include "settings/ScalarJob.h"

#include <optional>
#include <vector>

class TForm1;

class TScalarSetting {
public:
    // Every single setting of the window's catalogue, by code.
    static std::vector<TScalarSetting> All(TForm1& window);
    static std::optional<TScalarSetting> Find(TForm1& window, int code);

    int Code() const { return m_job->Code; }
    TScalarJob* Job() const { return m_job; }
    // Only the system user reaches it; the administrator reaches the numbers
    // page, the schedule and the holiday flag.
    bool SystemOnly() const;
    // "00" for the system parameters (as their page shows them), else the code.
    QString CodeText() const;

private:
    explicit TScalarSetting(TScalarJob* job) : m_job(job) {}

    TScalarJob* m_job;
};

#pragma once
// One single setting of the catalogue (a system parameter, a number of the
// numbers page, a time of the schedule, the holiday flag, a greeting override)
// seen through its job, for the command line and the backup: its value as the
// window shows it, a value typed by a person checked against the catalogue's
// limits, and the job's own write and read of it. The value travels as the
// unit's raw form: a number or index in decimal, hours × 100 + minutes, the
// digit string, the call code 0 to 10, the flag 0 or 1.

#include <QString>

#include <optional>
#include <vector>

class TForm1;
class TJoint1;

class TScalarSetting {
public:
    enum TKind { Number, Choice, Digits, Time, CallCode, Flag };

    // Every scalar setting of the window's catalogue, by code.
    static std::vector<TScalarSetting> All(TForm1& window);
    static std::optional<TScalarSetting> Find(TForm1& window, int code);

    int Code() const;
    TKind Kind() const { return m_kind; }
    TJoint1* Job() const { return m_job; }
    // Only the system user reaches it; the administrator reaches the numbers
    // page, the schedule and the holiday flag.
    bool SystemOnly() const;
    // "00" for the system parameters (as their page shows them), else the code.
    QString CodeText() const;

    // The value the job holds, as the window shows it, and raw.
    QString Shown() const;
    QString Raw() const;
    // A value as shown or as typed, checked against the catalogue's limits:
    // the raw value, or nothing with error saying why not.
    std::optional<QString> Parse(const QString& text, QString& error) const;
    // Puts a raw value from Parse into the job, ready for its write.
    void Assign(const QString& raw) const;

private:
    TScalarSetting(TJoint1* job, TKind kind) : m_job(job), m_kind(kind) {}
    std::optional<QString> ParseNumber(const QString& text, QString& error) const;
    std::optional<QString> ParseChoice(const QString& text, QString& error) const;
    std::optional<QString> ParseDigits(const QString& text, QString& error) const;
    static std::optional<QString> ParseTime(const QString& text, QString& error);
    static std::optional<QString> ParseCallCode(const QString& text, QString& error);

    TJoint1* m_job;
    TKind m_kind;
};

#pragma once
// What the kinds of single setting share (a number, a choice, a dialling
// string, a time of day, a flag): the value they hold, typed, and one text of
// it, as the window shows it, that the screen, the settings export, --get and
// the backup all take from Text; Parse reads such a text back, or a value as a
// person types it, against the setting's limits.

#include "session/Joint1.h"

#include <QString>

#include <optional>
#include <variant>

// A time of day as the unit holds it; a value read from the unit may be none
// (25:70, negative).
struct TTimeOfDay {
    int Hours = 0;
    int Minutes = 0;
    bool operator==(const TTimeOfDay&) const = default;
};

// A number (within limits, a call code, a choice's index), a flag, a dialling
// string or a time of day: each kind holds one of them.
using TScalarValue = std::variant<int, bool, QString, TTimeOfDay>;

// The alternative a kind holds; a default value for any other.
template <class T>
T ValueAs(const TScalarValue& value)
{
    const T* held = std::get_if<T>(&value);
    return held ? *held : T{};
}

class TScalarJob : public TJoint1 {
public:
    // What was read from the unit last, or is to be written next.
    virtual TScalarValue Held() const = 0;
    // A value from Parse, to be written next.
    virtual void Assign(const TScalarValue& value) = 0;
    // A value of this setting as the window shows it.
    virtual QString Text(const TScalarValue& value) const = 0;
    QString HeldText() const { return Text(Held()); }
    // A text as Text writes it, or a value as a person types it: the value
    // when it is within the setting's limits, else nothing, with error saying
    // what it must be (in the command line's words).
    virtual std::optional<TScalarValue> Parse(const QString& text, QString& error) const = 0;

    // The held value's text in its grid cell.
    void Output() override;
    // The held value's text where a grid shows it; as every job without one.
    QString GetText() override;

protected:
    // A decimal number of one to nine digits, perhaps negative.
    static std::optional<int> Decimal(const QString& text);
};

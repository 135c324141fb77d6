#pragma once
// What the unit accepts for each numbered parameter of its system menu: the
// kind of value, its limits, and whether the administrator may touch it.

#include <QByteArray>

enum class TParamKind {
    Digits,   // a digit string of Min to Max characters, "*" too when Star
    Number,   // a decimal integer from Min to Max (choices, flags and call codes too)
    Time,     // hours × 100 + minutes, 0 to 2359 with minutes below 60
    ReadOnly, // the firmware version: read, never written
    Voice,    // a voice file: read as "MSG=", written by a transfer
};

struct TParamRule {
    TParamKind Kind = TParamKind::Number;
    int Min = 0;
    int Max = 0;
    bool Star = false;
    bool SystemOnly = true; // refused in administrator mode

    bool Accepts(const QByteArray& value) const;
    // The value as the unit keeps it: numbers without leading zeros.
    QByteArray Normalized(const QByteArray& value) const;
};

// Null for a code the unit does not know.
const TParamRule* FindParamRule(int code);
// The voice-file codes of the system menu.
constexpr int FirstVoiceCode = 60;
constexpr int LastVoiceCode = 73;
constexpr int VersionCode = 999;

// A decimal number of 1 to maxDigits digits and nothing else; -1 when it is not one.
int ParseDecimal(const QByteArray& text, int maxDigits = 9);

#include "ParameterRules.h"

#include <QMap>

namespace {

TParamRule Digits(int minLength, int maxLength, bool star)
{
    return {TParamKind::Digits, minLength, maxLength, star};
}

TParamRule Number(int min, int max)
{
    return {TParamKind::Number, min, max};
}

TParamRule Choice(int count)
{
    return Number(0, count - 1);
}

QMap<int, TParamRule> BuildRules()
{
    QMap<int, TParamRule> rules;
    rules[0] = Digits(1, 8, false);
    rules[1] = Choice(3);
    rules[10] = Choice(2);
    rules[11] = Choice(2);
    rules[12] = Number(0, 999);
    rules[13] = Number(0, 24);
    rules[14] = Number(0, 24);
    rules[15] = Number(1, 20);
    rules[16] = Number(0, 240);
    rules[17] = Number(0, 99);
    rules[18] = Number(0, 250);
    for (int code = 20; code <= 25; ++code)
        rules[code] = Digits(0, 24, true);
    for (int code = 30; code <= 32; ++code)
        rules[code] = Digits(0, 8, true);
    rules[40] = Number(0, 99);
    for (int code = 41; code <= 44; ++code)
        rules[code] = Digits(0, 24, true);
    for (int code = FirstVoiceCode; code <= LastVoiceCode; ++code)
        rules[code] = {TParamKind::Voice};
    for (int code = 80; code <= 83; ++code)
        rules[code] = Choice(2);
    rules[90] = Choice(2);
    rules[91] = Choice(2);
    rules[92] = Number(0, 63);
    rules[93] = Number(0, 99);
    rules[94] = Choice(2);
    rules[95] = Choice(2);
    rules[96] = Number(0, 240);
    rules[97] = Choice(2);
    rules[98] = Choice(2);
    // The numbers page, the schedule and the firmware version are the
    // administrator's too; everything else needs the system password.
    rules[100] = Number(0, 10);
    for (int code = 101; code <= 103; ++code)
        rules[code] = Digits(0, 8, false);
    rules[104] = Digits(1, 8, false);
    rules[110] = Choice(2);
    for (int code = 111; code <= 124; ++code)
        rules[code] = {TParamKind::Time};
    for (int code = 100; code <= 124; ++code)
        if (rules.contains(code))
            rules[code].SystemOnly = false;
    for (int line = 1; line <= 6; ++line) {
        rules[500 + line] = Choice(3);
        for (int row = 510; row <= 540; row += 10)
            rules[row + line] = Number(0, 39);
    }
    rules[VersionCode] = {TParamKind::ReadOnly};
    rules[VersionCode].SystemOnly = false;
    return rules;
}

const QMap<int, TParamRule>& Rules()
{
    static const QMap<int, TParamRule> rules = BuildRules();
    return rules;
}

} // namespace

int ParseDecimal(const QByteArray& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool TParamRule::Accepts(const QByteArray& value) const
{
    switch (Kind) {
    case TParamKind::Digits: {
        if (value.size() < Min || value.size() > Max)
            return false;
        for (const char c : value)
            if (!((c >= '0' && c <= '9') || (Star && c == '*')))
                return false;
        return true;
    }
    case TParamKind::Number: {
        const int v = ParseDecimal(value);
        return v >= Min && v <= Max;
    }
    case TParamKind::Time: {
        const int v = ParseDecimal(value, 4);
        return v >= 0 && v / 100 < 24 && v % 100 < 60;
    }
    case TParamKind::ReadOnly:
        return ParseDecimal(value) >= 0;
    case TParamKind::Voice:
        return false;
    }
    return false;
}

QByteArray TParamRule::Normalized(const QByteArray& value) const
{
    if (Kind == TParamKind::Digits)
        return value;
    return QByteArray::number(ParseDecimal(value));
}

const TParamRule* FindParamRule(int code)
{
    const auto it = Rules().constFind(code);
    return it == Rules().constEnd() ? nullptr : &*it;
}

#include "VoiceMenu.h"

#include "ParameterRules.h"

bool TVoiceMenu::IsItem(const QByteArray& item)
{
    if (item == "-")
        return true;
    if (item.isEmpty())
        return false;
    const QByteArray rest = item.mid(1);
    switch (item.front()) {
    case 'M': {
        const int menu = ParseDecimal(rest, 2);
        return menu >= 0 && menu <= 19;
    }
    case 'N':
    case 'L':
    case 'G':
        return ParseDecimal(rest, 8) >= 0;
    default:
        return false;
    }
}

int TVoiceMenu::ParseTc(const QByteArray& text)
{
    return ParseDecimal(text, 2);
}

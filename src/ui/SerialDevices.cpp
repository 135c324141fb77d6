#include "SerialDevices.h"

#include <utility>

bool NaturalLess(const QString& a, const QString& b)
{
    const auto split = [](const QString& name) {
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit())
            --digits;
        return std::make_pair(name.left(digits), name.mid(digits).toULongLong());
    };
    return split(a) < split(b);
}

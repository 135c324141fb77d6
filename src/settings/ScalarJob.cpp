#include "ScalarJob.h"

#include "ui/StringGrid.h"

#include <algorithm>

void TScalarJob::Output()
{
    if (TStringGrid* grid = Grid())
        grid->SetCells(Col, Row, HeldText());
}

QString TScalarJob::GetText()
{
    return Grid() ? HeldText() : TJoint1::GetText();
}

std::optional<int> TScalarJob::Decimal(const QString& text)
{
    // By hand, not with a regular expression: the worker thread reads the
    // unit's values here, and under mingw a QRegularExpression used in a
    // thread other than the main one crashes that thread's end.
    const QStringView digits = QStringView(text).mid(text.startsWith(u'-') ? 1 : 0);
    if (digits.isEmpty() || digits.size() > 9
        || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return text.toInt();
}

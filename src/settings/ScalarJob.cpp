#include "ScalarJob.h"

#include "ui/StringGrid.h"

#include <QRegularExpression>

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
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

#include "DirectoryJobs.h"

#include "ParamExchange.h"
#include "session/MessageSink.h"
#include "ui/Directory.h"

#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString NotAssigned = QStringLiteral("Не назначен");

} // namespace

void TDirectory::Input()
{
    State = 0;
    TFormDirectory dialog;
    // A longer value from the unit is shown whole: cut to the limit, it would
    // count as edited and be written back cut on a plain OK.
    dialog.Edit1->setMaxLength(std::max(MaxLength, int(Value.size())));
    dialog.Edit1->setText(Value);
    dialog.AllowStar = StarAllowed;
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString text = dialog.Edit1->text();
    if (text == Value)
        return;
    if (text.size() < MinLength) {
        ErrorBox(QString::asprintf("Число символов должно быть не менее %d.", MinLength));
        return;
    }
    Value = text;
    State = Write;
}

void TDirectory::GetP()
{
    Value = DirectoryGet(Code);
}

void TDirectory::SetP()
{
    DirectorySet(Code, Value);
}

TScalarValue TDirectory::Held() const
{
    return Value;
}

void TDirectory::Assign(const TScalarValue& value)
{
    Value = ValueAs<QString>(value);
}

QString TDirectory::Text(const TScalarValue& value) const
{
    const QString digits = ValueAs<QString>(value);
    return digits.isEmpty() ? NotAssigned : digits;
}

std::optional<TScalarValue> TDirectory::Parse(const QString& text, QString& error) const
{
    const QString value = text.compare(NotAssigned, Qt::CaseInsensitive) == 0 ? QString() : text;
    const QRegularExpression allowed(StarAllowed ? QStringLiteral("^[0-9*]*$") : QStringLiteral("^[0-9]*$"));
    if (value.size() < MinLength || value.size() > MaxLength || !allowed.match(value).hasMatch()) {
        error = QStringLiteral("%1 to %2 digits%3")
                    .arg(MinLength)
                    .arg(MaxLength)
                    .arg(StarAllowed ? QStringLiteral(" or \"*\"") : QString());
        return std::nullopt;
    }
    return value;
}

void TVFDirectory::Output()
{
    if (ValueEdit)
        ValueEdit->setText(HeldText());
}

QString TVFDirectory::GetText()
{
    return ValueEdit ? HeldText() : TJoint1::GetText();
}

QString TVFDirectory::Text(const TScalarValue& value) const
{
    return ValueAs<QString>(value);
}

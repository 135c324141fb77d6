#include "ChoiceJob.h"

#include "ParamExchange.h"
#include "session/MessageSink.h"
#include "ui/Choice.h"
#include "ui/RadioGroup.h"

void TChoice::Input()
{
    State = 0;
    TFormChoice dialog;
    dialog.RadioGroup1->SetItems(Choices);
    dialog.RadioGroup1->SetItemIndex(ItemIndex);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Written even when unchanged: OK is how the user asks to set it again.
    ItemIndex = dialog.RadioGroup1->ItemIndex();
    State = Write;
}

void TChoice::GetP()
{
    const int value = NumberGet(Code);
    // A negative value is refused like one past the list: it names no choice.
    if (value >= 0 && value < Choices.size())
        ItemIndex = value;
    else
        ErrorBox(QStringLiteral("Choice: Invalid value received from device"));
}

void TChoice::SetP()
{
    NumberSet(Code, ItemIndex);
}

TScalarValue TChoice::Held() const
{
    return ItemIndex;
}

void TChoice::Assign(const TScalarValue& value)
{
    ItemIndex = ValueAs<int>(value);
}

QString TChoice::Text(const TScalarValue& value) const
{
    return Choices.value(ValueAs<int>(value));
}

std::optional<TScalarValue> TChoice::Parse(const QString& text, QString& error) const
{
    const std::optional<int> index = Decimal(text);
    if (index && *index >= 0 && *index < Choices.size())
        return *index;
    for (int i = 0; i < Choices.size(); ++i)
        if (Choices[i].compare(text, Qt::CaseInsensitive) == 0)
            return i;
    QStringList offered;
    for (int i = 0; i < Choices.size(); ++i)
        offered << QStringLiteral("%1 \"%2\"").arg(i).arg(Choices[i]);
    error = QStringLiteral("one of ") + offered.join(QStringLiteral(", "));
    return std::nullopt;
}

#pragma once
// A setting that takes one of a list of named values; the unit holds the
// 0-based index of the name, the window shows the name.

#include "ScalarJob.h"

#include <QStringList>

class TChoice : public TScalarJob {
public:
    int ItemIndex = 0;
    // The names in the order of the unit's values 0, 1, 2 …
    QStringList Choices;

    void Input() override;
    void GetP() override;
    void SetP() override;

    TScalarValue Held() const override;
    void Assign(const TScalarValue& value) override;
    QString Text(const TScalarValue& value) const override;
    // By its index or by its name.
    std::optional<TScalarValue> Parse(const QString& text, QString& error) const override;
};

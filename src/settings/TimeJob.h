#pragma once
// A time of day (the weekly schedule), shown as hh:mm. The unit holds it as
// one integer, hours × 100 + minutes.

#include "ScalarJob.h"

class TTimeDlg : public TScalarJob {
public:
    int Hours = 0;
    int Minutes = 0;

    void Input() override;
    void GetP() override;
    void SetP() override;

    TScalarValue Held() const override;
    void Assign(const TScalarValue& value) override;
    QString Text(const TScalarValue& value) const override;
    // A time of day h:mm or hh:mm.
    std::optional<TScalarValue> Parse(const QString& text, QString& error) const override;
};

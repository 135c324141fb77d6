#pragma once
// An on/off setting shown by a check box of the window (the holiday mode).
// The page starts an edit from the box's click handler only while the box is
// enabled; showing a value disables the box meanwhile, so a value read from
// the unit is never written back as if the user had clicked. Its text is 1
// (ticked: any value but 0 read from the unit) or 0; the export words it.

#include "ScalarJob.h"

#include <cstdint>

class QCheckBox;

class TCheck : public TScalarJob {
public:
    uint8_t Value = 0;
    // Where the window keeps its check box; looked up at every use.
    QCheckBox* const* CheckBoxRef = nullptr;

    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
    // "Установлен" or "Снят".
    QString GetText() override;

    TScalarValue Held() const override;
    void Assign(const TScalarValue& value) override;
    QString Text(const TScalarValue& value) const override;
    std::optional<TScalarValue> Parse(const QString& text, QString& error) const override;

    QCheckBox* CheckBox() const { return CheckBoxRef ? *CheckBoxRef : nullptr; }
};

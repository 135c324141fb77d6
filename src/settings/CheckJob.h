#pragma once
// An on/off setting shown by a check box of the window (the holiday mode).
// The page starts an edit from the box's click handler only while the box is
// enabled; showing a value disables the box meanwhile, so a value read from
// the unit is never written back as if the user had clicked.

#include "session/Joint1.h"

#include <cstdint>

class QCheckBox;

class TCheck : public TJoint1 {
public:
    uint8_t Value = 0;
    // Where the window keeps its check box; looked up at every use.
    QCheckBox* const* CheckBoxRef = nullptr;

    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
    QString GetText() override;

    QCheckBox* CheckBox() const { return CheckBoxRef ? *CheckBoxRef : nullptr; }
};

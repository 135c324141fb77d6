#pragma once
// A setting that takes one of a list of named values; the unit holds the
// 0-based index of the name.

#include "session/Joint1.h"

#include <QStringList>

class TChoice : public TJoint1 {
public:
    int ItemIndex = 0;
    // The names in the order of the unit's values 0, 1, 2 …
    QStringList Choices;

    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
};

#pragma once
// Integer settings: TNumber (a value within limits, shown in a grid cell),
// TVFCode (the operator's call code, a key of the telephone keypad, shown in a
// field of the window) and TVersion (the firmware version, read only, shown in
// a status bar panel).

#include "session/Joint1.h"

#include <cstdint>

class QLabel;
class QLineEdit;

class TNumber : public TJoint1 {
public:
    int32_t Value = 0;
    // The dialog's limits; it offers them as 16-bit signed numbers.
    int Min = 0;
    int Max = 0;

    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
};

// Value: 0 not assigned, 1 to 9 the keys 1 to 9, 10 the key 0.
class TVFCode : public TNumber {
public:
    QLineEdit* Display = nullptr;

    void Input() override;
    void Output() override;
    QString GetText() override;
};

// Value: major × 10000 + minor × 100 + build. Only ever read (Read), never edited.
class TVersion : public TNumber {
public:
    QLabel* StatusPanel = nullptr;

    void Input() override;
    void SetP() override;
    void Output() override;
    QString GetText() override;
};

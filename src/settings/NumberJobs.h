#pragma once
// Integer settings: TNumber (a value within limits, shown in a grid cell),
// TVFCode (the operator's call code, a key of the telephone keypad, shown in a
// field of the window) and TVersion (the firmware version, read only, shown in
// a status bar panel).

#include "ScalarJob.h"

#include <cstdint>

class QLabel;
class QLineEdit;

class TNumber : public TScalarJob {
public:
    int32_t Value = 0;
    // The dialog's limits; it offers them as 16-bit signed numbers.
    int Min = 0;
    int Max = 0;

    void Input() override;
    void GetP() override;
    void SetP() override;

    TScalarValue Held() const override;
    void Assign(const TScalarValue& value) override;
    QString Text(const TScalarValue& value) const override;
    std::optional<TScalarValue> Parse(const QString& text, QString& error) const override;
};

// Value: 0 not assigned, 1 to 9 the keys 1 to 9, KeyZero the key 0; shown as
// the key's digit, or "не назначен".
class TVFCode : public TNumber {
public:
    static constexpr int KeyZero = 10;

    QLineEdit* Display = nullptr;

    void Input() override;
    void Output() override;
    QString GetText() override;

    QString Text(const TScalarValue& value) const override;
    std::optional<TScalarValue> Parse(const QString& text, QString& error) const override;
};

// Value: major × 10000 + minor × 100 + build, shown as "major.minor.build".
// Only ever read, never edited.
class TVersion : public TNumber {
public:
    QLabel* StatusPanel = nullptr;

    void Input() override;
    void SetP() override;
    void Output() override;
    QString GetText() override;

    QString Text(const TScalarValue& value) const override;
};

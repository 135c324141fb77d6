#pragma once
// Settings that are dialling strings (operator numbers, passwords, dialling
// combinations): TDirectory shows its value in a grid cell ("Не назначен" when
// empty), TVFDirectory in an edit field of the window (empty when empty).

#include "ScalarJob.h"

class QLineEdit;

class TDirectory : public TScalarJob {
public:
    int MinLength = 0;
    int MaxLength = 0;
    bool StarAllowed = false;
    QString Value;

    void Input() override;
    void GetP() override;
    void SetP() override;

    TScalarValue Held() const override;
    void Assign(const TScalarValue& value) override;
    QString Text(const TScalarValue& value) const override;
    // Digits (and "*" where allowed) within the lengths; "Не назначен" is empty.
    std::optional<TScalarValue> Parse(const QString& text, QString& error) const override;
};

class TVFDirectory : public TDirectory {
public:
    QLineEdit* ValueEdit = nullptr;

    void Output() override;
    QString GetText() override;

    QString Text(const TScalarValue& value) const override;
};

#pragma once
// Settings that are dialling strings (operator numbers, passwords, dialling
// combinations): TDirectory shows its value in a grid cell, TVFDirectory in an
// edit field of the window.

#include "session/Joint1.h"

class QLineEdit;

class TDirectory : public TJoint1 {
public:
    int MinLength = 0;
    int MaxLength = 0;
    bool StarAllowed = false;
    QString Value;

    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
};

class TVFDirectory : public TDirectory {
public:
    QLineEdit* ValueEdit = nullptr;

    void Output() override;
    QString GetText() override;
};

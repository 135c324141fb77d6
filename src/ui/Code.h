#pragma once
// Choice of the operator's call code: 0 none, 1 to 9 the digits 1 to 9, 10 the
// digit 0. The caller passes the current code to SetCode before exec(); after
// OK it takes ChosenCode only when Changed is set.

#include "ValueDialog.h"

#include <array>

class QRadioButton;

class TFormCode : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormCode(QWidget* parent = nullptr);

    static constexpr int CodeCount = 11;
    // Indexed by code: [0] "Не назначен", [1]..[9] "1".."9", [10] "0".
    std::array<QRadioButton*, CodeCount> RadioButton{};

    int InitialCode = -1;
    int ChosenCode = -1;
    bool Changed = false;

    // Remembers the code the dialog opens with and checks its button; a code
    // outside 0 to 10 checks none.
    void SetCode(int code);

private:
    void RadioButtonClick(int code);
};

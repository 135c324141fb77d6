#pragma once
// Entry of a digit string (extension and operator numbers, passwords, list
// entries). The caller sets Edit1's maxLength and text and AllowStar before
// exec(); after OK it reads Edit1's text and Modified.

#include "ValueDialog.h"

class QLineEdit;

class TFormDirectory : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormDirectory(QWidget* parent = nullptr);

    QLineEdit* Edit1;
    // Whether the user edited Edit1 since its text was last set.
    bool Modified = false;
    // Whether "*" may be entered besides the digits.
    bool AllowStar = false;

    // Whether a character the user types or pastes is kept.
    bool Edit1KeyPress(QChar key) const;

private slots:
    void Edit1Change();
};

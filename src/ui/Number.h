#pragma once
// Entry of a number within limits. The caller sets UpDown1's range and value
// before exec() and reads its value after OK. Edit1 is the up-down's own text
// field (see TUpDown).

#include "ValueDialog.h"

class QLineEdit;
class TUpDown;

class TFormNumber : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormNumber(QWidget* parent = nullptr);

    TUpDown* UpDown1;
    QLineEdit* Edit1;
};

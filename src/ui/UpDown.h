#pragma once
// An up-down number edit. The dialogs pair an edit with an up-down; here both
// are one QSpinBox: the spin box is the up-down (its value is the position, its
// range the limits) and its text field, reachable through lineEdit(), is the
// edit bound to it. Writing the edit's text moves the position as soon as the
// text is a number in range; enabling or hiding the up-down acts on both.

#include <QLineEdit>
#include <QSpinBox>

class TUpDown : public QSpinBox {
public:
    TUpDown(int minimum, int maximum, QWidget* parent = nullptr)
        : QSpinBox(parent)
    {
        setRange(minimum, maximum);
    }
    using QAbstractSpinBox::lineEdit;
};

#pragma once
// Entry of a range of numbers, first in Edit1 and last in Edit2. After OK the
// caller uses the texts only when BothModified is set, so a range with one end
// left untouched counts as cancelled.

#include "ValueDialog.h"

class QLineEdit;

class TFormList2 : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormList2(QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QLineEdit* Edit2;
    bool BothModified = false;

private slots:
    void EditChange();
};

#pragma once
// Choice of one named value of a setting. The caller fills RadioGroup1's items
// and item index before exec(); after OK the item index is the new value. The
// dialog grows to fit the longest item.

#include "ValueDialog.h"

class TRadioGroup;

class TFormChoice : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormChoice(QWidget* parent = nullptr);

    TRadioGroup* RadioGroup1;
};

#pragma once
// Entry of a time of day (hours and minutes). The caller sets the picker's time
// before exec(); after OK it takes the time only when Changed is set, so a
// dialog closed with OK untouched writes nothing.

#include "ValueDialog.h"

class QTimeEdit;

class TFormTime : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormTime(QWidget* parent = nullptr);

    QTimeEdit* DateTimePicker1;
    // Set when the user changes the time while the dialog is shown; the
    // caller's own setTime before exec() does not count.
    bool Changed = false;

private slots:
    void DateTimePicker1Change();
};

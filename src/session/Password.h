#pragma once
// The password prompt of the login. Enter or "OK" closes it with Accepted.
// The session takes Edit1's text only after OK and only when EditChanged(): an
// OK on an untouched edit asks again. An optional hint line (empty: hidden)
// lets the window say which passwords are valid, as the demo mode does.

#include "ui/ValueDialog.h"

class QLabel;
class QLineEdit;

class TFormPassword : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormPassword(QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QLabel* lblHint;

    bool EditChanged() const;
    void SetHint(const QString& hint);
};

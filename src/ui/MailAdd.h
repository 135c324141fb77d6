#pragma once
// A mailbox's owner, size and notification. It opens set for a new mailbox
// (caption "Создание ящика", owner empty, 15 minutes, notification off, period
// 30 minutes and disabled); a caller editing a mailbox changes the caption,
// fills and disables edtOwner. After OK the caller reads edtOwner's text,
// udSize's value (minutes), rgAnnMode's item index and udAnnPeriod's value.
// edtSize and edtAnnPeriod are the text fields of their up-downs (TUpDown).

#include "ValueDialog.h"

class QLabel;
class QLineEdit;
class TRadioGroup;
class TUpDown;

class TFormMailAdd : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormMailAdd(QWidget* parent = nullptr);

    QLineEdit* edtOwner;
    TUpDown* udSize;
    QLineEdit* edtSize;
    TRadioGroup* rgAnnMode;
    QLabel* lblAnnPeriod;
    TUpDown* udAnnPeriod;
    QLineEdit* edtAnnPeriod;

    // Hides the notification mode and period, which the mailbox jobs neither
    // show nor use.
    void HideAnnouncement();

private slots:
    void rgAnnModeClick(int index);
};

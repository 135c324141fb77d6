#pragma once
// The action of one key of a voice menu: none, go to a menu (udMenu, 0 to 19),
// or transfer the call, leave a message or read messages for an extension
// (edtExt, up to 8 digits). The caller checks one of the radio buttons and
// fills udMenu or edtExt before exec(); after OK it reads which button is
// checked, udMenu's value and edtExt's text. edtMenu is udMenu's text field
// (TUpDown): the range 0 to 19 keeps it to one or two digits.

#include "ValueDialog.h"

class QLineEdit;
class QRadioButton;
class TUpDown;

class TFormMenuItm : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormMenuItm(QWidget* parent = nullptr);

    QRadioButton* rbNone;
    QRadioButton* rbMenu;
    QRadioButton* rbXfer;
    QRadioButton* rbMsgLeave;
    QRadioButton* rbMsgGet;
    TUpDown* udMenu;
    QLineEdit* edtMenu;
    QLineEdit* edtExt;

    // Offers only no action, a menu or a transfer. A mailbox action the caller
    // checked stays checked (and edtExt usable) until the user picks another.
    void HideMailboxActions();

    // Whether a character the user types or pastes into edtExt is kept.
    static bool edtExtKeyPress(QChar key);

private slots:
    void rbNoneClick();
    void rbMenuClick();
    void rbXferClick();
};
